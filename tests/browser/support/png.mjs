// Reads the 8-bit RGB and RGBA non-interlaced PNG files browsers write for screenshots.
import { inflateSync } from 'node:zlib';

/** @returns {{width: number, height: number, pixel: (x: number, y: number) => number[]}} */
export function decodePng(file) {
  let offset = 8;
  let header = null;
  const data = [];
  while (offset < file.length) {
    const length = file.readUInt32BE(offset);
    const type = file.toString('latin1', offset + 4, offset + 8);
    const body = file.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR')
      header = {
        width: body.readUInt32BE(0),
        height: body.readUInt32BE(4),
        depth: body[8],
        colour: body[9],
        interlace: body[12],
      };
    if (type === 'IDAT') data.push(body);
    offset += 12 + length;
  }
  const channels = { 2: 3, 6: 4 }[header.colour];
  if (header.depth !== 8 || !channels || header.interlace !== 0) throw new Error('unsupported PNG');
  const raw = inflateSync(Buffer.concat(data));
  const stride = header.width * channels;
  const pixels = Buffer.alloc(stride * header.height);
  for (let y = 0; y < header.height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? pixels[y * stride + i - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const c = i >= channels && y > 0 ? pixels[(y - 1) * stride + i - channels] : 0;
      pixels[y * stride + i] = (line[i] + unfilter(filter, a, b, c)) & 0xff;
    }
  }
  return {
    width: header.width,
    height: header.height,
    pixel: (x, y) => [...pixels.subarray(y * stride + x * channels, y * stride + x * channels + 3)],
  };
}

function unfilter(filter, a, b, c) {
  switch (filter) {
    case 0:
      return 0;
    case 1:
      return a;
    case 2:
      return b;
    case 3:
      return (a + b) >> 1;
    case 4: {
      const p = a + b - c;
      const pa = Math.abs(p - a),
        pb = Math.abs(p - b),
        pc = Math.abs(p - c);
      return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    }
    default:
      throw new Error(`PNG filter ${filter}`);
  }
}
