// The status pictures' sources (res/status_*.txt): size, legend and rows, as colours.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';

/** @param {'idle' | 'listening'} name @returns {{width: number, height: number, rows: number[][][]}} */
export function statusPicture(name) {
  const text = readFileSync(fileURLToPath(new URL(`../../../res/status_${name}.txt`, import.meta.url)), 'utf8');
  const legend = new Map();
  const rows = [];
  let width = 0,
    height = 0,
    inPixels = false;
  for (const line of text.split('\n')) {
    if (line.startsWith(';') || line.trim() === '') continue;
    const words = line.trim().split(/\s+/);
    if (inPixels) rows.push([...line.trimEnd()].map((ch) => legend.get(ch)));
    else if (words[0] === 'size') [width, height] = [Number(words[1]), Number(words[2])];
    else if (words[0] === 'colour') legend.set(line.split(/\s+/)[1], words.slice(2, 5).map(Number));
    else if (words[0] === 'pixels') inPixels = true;
  }
  return { width, height, rows };
}
