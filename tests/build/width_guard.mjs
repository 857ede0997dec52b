// Usage: node width_guard.mjs <win32|win64> <programs-file> <source-root>
// Runs natively in each build tree, also where Wine cannot start that tree's programs: each
// Windows test program of the tree must be built for the tree's width, and must take what it
// expects of this build's width from tests/support/ThisBuild.h, never from a constant.
//
// <programs-file> has one line per test program, written by CMake: name|exe|source,source...
// A source that looks at this build's own files (the plug-in, host or tools next to the
// running program) may name a width (0x8664, "64-bit", "x86-64", "-x64", ...) in its code
// only on a line that also asks ThisBuild. Files that only build fixtures of a stated width
// are free to name it. Comments are not read.
import { readFileSync, existsSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { Checks } from '../support/checks.mjs';

const WIDTHS = {
  win32: { machine: 0x014c, name: 'i386' },
  win64: { machine: 0x8664, name: 'x86-64' },
};

// Code that reaches this build's binaries by their place next to the test program.
const READS_THIS_BUILD = /\bPathNextToProgram\s*\(|\bGetModuleFileName[AW]?\s*\(/;
// Ways of naming a width in C++ code; each is a width some test could hard-wire.
const WIDTH_LITERALS = [
  /\b0x0*8664\b/i,
  /\b0x0*14c\b/i,
  /\bkMachine(Amd64|I386)\b/,
  /\bIMAGE_FILE_MACHINE_(I386|AMD64)\b/,
  /\bx86[-_]64\b/i,
  /\bi[36]86\b/i,
  /\bamd64\b/i,
  // "64-bit" of a program, DLL or browser; not of a number (card numbers are 32-bit in both).
  /\b(32|64)-bit\b(?!\s+(unsigned\s+|signed\s+)?(number|integer|value|int|word|field))/i,
  /\bx64\b/i,
  /\b_WIN64\b/,
  /\bPE32\b/,
];

/** The machine field of a PE file: the PE header's offset is at 0x3c, the field 4 bytes on. */
export function peMachine(bytes) {
  if (bytes.length < 0x40 || bytes[0] !== 0x4d || bytes[1] !== 0x5a) return null;
  const header = bytes.readUInt32LE(0x3c);
  if (header + 6 > bytes.length || bytes.toString('latin1', header, header + 4) !== 'PE\0\0') return null;
  return bytes.readUInt16LE(header + 4);
}

/** C++ source with comments blanked out, line structure kept; strings are left alone. */
export function withoutComments(text) {
  let out = '';
  let i = 0;
  let quote = null;
  while (i < text.length) {
    const c = text[i];
    if (quote) {
      out += c;
      if (c === '\\' && i + 1 < text.length) {
        out += text[i + 1];
        i += 2;
        continue;
      }
      if (c === quote || c === '\n') quote = null;
      i += 1;
    } else if (c === '"' && text[i - 1] === 'R' && !/[0-9A-Za-z_]/.test(text[i - 2] ?? '')) {
      // A raw string runs to )delimiter" whatever it holds.
      const open = text.indexOf('(', i);
      const close = open < 0 ? -1 : text.indexOf(`)${text.slice(i + 1, open)}"`, open);
      const stop = close < 0 ? text.length : close + (open - i) + 1;
      out += text.slice(i, stop);
      i = stop;
    } else if (c === '"' || (c === "'" && !/[0-9A-Za-z_]/.test(text[i - 1] ?? ''))) {
      quote = c;
      out += c;
      i += 1;
    } else if (text.startsWith('//', i)) {
      while (i < text.length && text[i] !== '\n') i += 1;
    } else if (text.startsWith('/*', i)) {
      const end = text.indexOf('*/', i + 2);
      const stop = end < 0 ? text.length : end + 2;
      out += text.slice(i, stop).replace(/[^\n]/g, ' ');
      i = stop;
    } else {
      out += c;
      i += 1;
    }
  }
  return out;
}

/** The lines of one source that name a width without asking ThisBuild, as "file:line: text". */
export function hardWiredLines(path, text) {
  const code = withoutComments(text);
  if (!READS_THIS_BUILD.test(code)) return [];
  const found = [];
  code.split('\n').forEach((line, index) => {
    if (/\bThisBuild\b/.test(line)) return;
    if (WIDTH_LITERALS.some((literal) => literal.test(line))) found.push(`${path}:${index + 1}: ${line.trim()}`);
  });
  return found;
}

/** The sources a test program is built from, with the project headers they include (once each). */
function sourcesWithIncludes(sources, root) {
  const seen = new Set();
  const pending = [...sources];
  while (pending.length > 0) {
    const path = pending.pop();
    if (seen.has(path) || !existsSync(path)) continue;
    seen.add(path);
    for (const [, include] of readFileSync(path, 'utf8').matchAll(/^\s*#\s*include\s+"([^"]+)"/gm)) {
      // Only the tests' own headers: the product's are what is under test, not expectations.
      for (const candidate of [join(root, include), join(dirname(path), include)]) {
        if (candidate.startsWith(join(root, 'tests')) && existsSync(candidate)) pending.push(candidate);
      }
    }
  }
  return [...seen].sort();
}

function main([arch, programsFile, root]) {
  const width = WIDTHS[arch];
  if (!width || !programsFile || !root) {
    console.error('usage: width_guard.mjs <win32|win64> <programs-file> <source-root>');
    return 2;
  }
  const programs = readFileSync(programsFile, 'utf8')
    .split('\n')
    .filter((line) => line.trim() !== '')
    .map((line) => {
      const [name, exe, sources] = line.split('|');
      return { name, exe, sources: sources ? sources.split(',') : [] };
    });
  // One check per test program: its machine, and each of its sources.
  const checks = new Checks(process.argv[1]);
  checks.plan(programs.length);
  let files = 0;
  for (const program of programs) {
    if (!existsSync(program.exe)) {
      checks.fail(`${program.name}: ${program.exe} is not built`);
    } else {
      const machine = peMachine(readFileSync(program.exe));
      const got = machine === null ? 'not a PE file' : `machine 0x${machine.toString(16)}`;
      checks.expect(
        machine === width.machine,
        `${program.name}: ${got}, but this ${arch} tree's programs are ${width.name}`,
      );
    }
    for (const source of sourcesWithIncludes(program.sources, root)) {
      files += 1;
      for (const line of hardWiredLines(source.slice(root.length + 1), readFileSync(source, 'utf8'))) {
        checks.fail(`${program.name}: a width named without ThisBuild in a test of this build's files:\n  ${line}`);
      }
    }
    checks.done();
  }
  console.log(`width guard (${arch}): ${programs.length} test programs, ${files} source files read`);
  return checks.end();
}

if (import.meta.url === `file://${process.argv[1]}`) process.exitCode = main(process.argv.slice(2));
