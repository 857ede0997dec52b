// The commands that choose between the 32-bit and the 64-bit tree (make demo, test, soak,
// bench) decide once, after the tools are installed, and every later step follows that
// decision (node --test). The real scripts run in a copy of scripts/ where the machine is
// stubbed at its edges: the package install, CMake, CTest, the virtual display and Wine's
// loaders, each of which writes what it was asked into one log.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { chmodSync, cpSync, mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');

function script(path, body) {
  mkdirSync(dirname(path), { recursive: true });
  writeFileSync(path, `#!/usr/bin/env bash\n${body}\n`);
  chmodSync(path, 0o755);
}

// A machine as a first run meets it: the 32-bit loader appears with the install, and then
// starts 32-bit programs or not. installed: the tools are there before the command starts.
function machine({ runs32, installed }) {
  const dir = mkdtempSync(join(tmpdir(), 'tarvx-width-'));
  const log = join(dir, 'log');
  const stubs = join(dir, 'stubs');
  const loader32 = join(dir, 'wine32', 'wine');
  cpSync(join(root, 'scripts'), join(dir, 'scripts'), { recursive: true });
  writeFileSync(log, '');
  const note = (line) => `echo "${line}" >>"${log}"`;
  const loader32Body = [
    `if [ "\${1:-}" = --version ]; then ${note('probe')}`,
    runs32 ? '  echo wine-8.0; exit 0' : '  echo "cannot execute binary file: Exec format error" >&2; exit 126',
    'fi',
    note('wine32 $*'),
  ].join('\n');
  // The install brings the 32-bit loader.
  script(join(dir, 'scripts', 'setup.sh'), `${note('setup')}\nbash "${join(dir, 'make-loader32.sh')}"`);
  script(
    join(dir, 'make-loader32.sh'),
    `mkdir -p "${dirname(loader32)}"\ncat >"${loader32}" <<'EOF'\n#!/usr/bin/env bash\n${loader32Body}\nEOF\nchmod +x "${loader32}"`,
  );
  if (installed) spawnSync('bash', [join(dir, 'make-loader32.sh')]);
  // The steps that decide nothing about the width.
  for (const name of ['npm-ci.sh', 'format.sh', 'shellcheck.sh', 'lint.sh'])
    script(join(dir, 'scripts', name), 'exit 0');
  script(join(stubs, 'wine64'), note('wine64 $*'));
  script(join(stubs, 'wineserver'), 'exit 0');
  script(join(stubs, 'node'), note('node $*'));
  script(join(stubs, 'xvfb-run'), 'while [ "${1#-}" != "$1" ]; do [ "$1" = -s ] && shift; shift; done\nexec "$@"');
  script(
    join(stubs, 'ctest'),
    [
      note('ctest $*'),
      'case " $* " in *" -N -L wine "*) echo "  Test  #7: reader_tests"; echo "  Test  #9: plugin_tests" ;; esac',
    ].join('\n'),
  );
  // cmake: configuring writes what CMake writes for the scripts (the tree's width); a build
  // leaves the programs the scripts look for.
  script(
    join(stubs, 'cmake'),
    [
      'if [ "$1" = --build ]; then',
      `  ${note('cmake $*')}`,
      '  mkdir -p "$2/bin" "$2/native/bin"',
      '  for p in npTARVX_demo plugin_soak reader_latency_benchmark status_image_benchmark plugin_benchmark; do',
      '    touch "$2/bin/$p.exe"',
      '  done',
      '  exit 0',
      'fi',
      'tree=""; width=win32',
      'while [ $# -gt 0 ]; do',
      '  case "$1" in -B) tree="$2"; shift ;; *mingw-x86_64.cmake) width=win64 ;; esac',
      '  shift',
      'done',
      'mkdir -p "$tree"; touch "$tree/CMakeCache.txt"; echo "$width" >"$tree/tarvx-width.txt"',
      note('configure $tree $width'),
    ].join('\n'),
  );
  const env = {
    ...process.env,
    PATH: `${stubs}:${process.env.PATH}`,
    TARVX_WINE32_LOADER: loader32,
    TARVX_WINE64_LOADER: join(stubs, 'wine64'),
  };
  for (const inherited of ['TARVX_WIDTH', 'TARVX_WIDTH_DECIDED', 'TARVX_NO_WIN32', 'NPTARVX_IN_XVFB']) {
    delete env[inherited];
  }
  return {
    build: join(dir, 'build'),
    run(command, ...args) {
      const result = spawnSync('bash', [join(dir, 'scripts', command), join(dir, 'build'), ...args], {
        env,
        encoding: 'utf8',
        timeout: 60000,
      });
      return { ...result, log: readFileSync(log, 'utf8').split('\n').filter(Boolean) };
    },
    remove: () => rmSync(dir, { recursive: true, force: true }),
  };
}

// Each command, on each kind of machine: what it must have built and run. The lines must
// appear in this order in the log; b is the build directory.
const COMMANDS = [
  {
    command: 'demo.sh',
    args: ['--route', 'plugin'],
    win32: (b) => [`cmake --build ${b} --target npTARVX_demo`, `wine32 ${b}/bin/npTARVX_demo.exe`],
    win64: (b) => [`cmake --build ${b}/x64 --target npTARVX_demo`, `wine64 ${b}/x64/bin/npTARVX_demo.exe`],
    never: { win32: /wine64 .*npTARVX_demo/, win64: /wine32 .*npTARVX_demo/ },
  },
  {
    command: 'soak.sh',
    args: [],
    win32: (b) => [`wine32 ${b}/bin/plugin_soak.exe`],
    win64: (b) => [`wine64 ${b}/x64/bin/plugin_soak.exe`],
    never: { win32: /wine64 .*plugin_soak/, win64: /wine32 .*plugin_soak/ },
  },
  {
    command: 'bench.sh',
    args: [],
    win32: (b) => [`wine32 ${b}/bin/reader_latency_benchmark.exe 2000 10`],
    win64: (b) => [`wine64 ${b}/x64/bin/reader_latency_benchmark.exe 2000 10`],
    // A machine that starts 32-bit programs measures both widths.
    never: { win32: null, win64: /wine32 .*benchmark/ },
  },
  {
    command: 'test.sh',
    args: [],
    win32: (b) => [`configure ${b}/debug/win32 win32`, `ctest --test-dir ${b} --output-on-failure`],
    win64: (b) => [`configure ${b}/debug/win64 win64`, `ctest --test-dir ${b} -N -L wine`, '-LE wine'],
    never: { win32: /-LE wine|debug\/win64/, win64: /debug\/win32/ },
  },
];

const MACHINES = [
  { why: 'first run, 32-bit programs start', runs32: true, installed: false, width: 'win32' },
  { why: 'first run, 32-bit programs cannot start', runs32: false, installed: false, width: 'win64' },
  { why: 'tools installed, 32-bit programs start', runs32: true, installed: true, width: 'win32' },
  { why: 'tools installed, 32-bit programs cannot start', runs32: false, installed: true, width: 'win64' },
];

for (const m of MACHINES) {
  for (const c of COMMANDS) {
    test(`${c.command}, ${m.why}: one decision, after the install, followed by every step`, () => {
      const box = machine(m);
      try {
        const { status, stdout, stderr, log } = box.run(c.command, ...c.args);
        const where = `\n--- log\n${log.join('\n')}\n--- output\n${stdout}${stderr}`;
        assert.equal(status, 0, `exit code${where}`);
        assert.equal(log.filter((l) => l === 'setup').length, 1, `installed once${where}`);
        assert.equal(log.filter((l) => l === 'probe').length, 1, `decided once${where}`);
        assert.ok(log.indexOf('setup') < log.indexOf('probe'), `decided after the install${where}`);
        let from = 0;
        for (const expected of c[m.width](box.build)) {
          const at = log.findIndex((l, i) => i >= from && l.includes(expected));
          assert.ok(at >= 0, `"${expected}" (after line ${from + 1})${where}`);
          from = at + 1;
        }
        const never = c.never[m.width];
        if (never)
          assert.deepEqual(
            log.filter((l) => never.test(l)),
            [],
            `steps of the other width${where}`,
          );
        if (m.width === 'win64') {
          assert.match(stdout, /cannot start 32-bit programs/, `says why${where}`);
        }
      } finally {
        box.remove();
      }
    });
  }
}

test("the test command's banner names each 32-bit entry it could not run", () => {
  const box = machine({ runs32: false, installed: true });
  try {
    const { stdout } = box.run('test.sh');
    assert.match(stdout, /NOT RUN: 2 entries of the 32-bit build[^\n]*\n {2}reader_tests\n {2}plugin_tests\n/);
  } finally {
    box.remove();
  }
});
