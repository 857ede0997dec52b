// Firefox has promise-returning APIs under `browser`, Chromium (MV3) under `chrome`.
export const api = globalThis.browser ?? globalThis.chrome;
