// The width guard's own rules (node --test): what it takes for a hard-wired width, what it
// leaves alone, and how it reads a program's machine.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { hardWiredLines, peMachine, withoutComments } from './width_guard.mjs';

const readsBuild = 'const std::string dll = TestSupport::PathNextToProgram("npTARVX.dll");\n';

test('a width named in a test of this build is found; ThisBuild, fixtures and comments are not', () => {
  const cases = [
    // The two faults that passed in the 64-bit tree and failed in the 32-bit one.
    { why: 'machine constant', code: 'EXPECT_EQ(plugin.machine, kMachineAmd64);', found: true },
    { why: 'machine number', code: 'EXPECT_EQ(plugin.machine, 0x8664);', found: true },
    { why: 'i386 number', code: 'EXPECT_EQ(plugin.machine, 0x014C);', found: true },
    {
      why: 'the printed width',
      code: '"    DLL:  64-bit (x86-64), version 1.0.0.1\\n    ok: 64-bit browsers load it\\n"',
      found: true,
    },
    { why: 'the x64 registration name', code: 'const std::string name = "@tarvo/npTARVX-x64,diag-test";', found: true },
    { why: 'a preprocessor width', code: '#ifdef _WIN64', found: true },
    { why: 'asked of ThisBuild', code: 'EXPECT_EQ(plugin.machine, ThisBuild::kPeMachine);', found: false },
    {
      why: 'chosen by ThisBuild on the line',
      code: 'const char* key = ThisBuild::kIs64 ? "@tarvo/npTARVX-x64" : "@tarvo/npTARVX";',
      found: false,
    },
    { why: 'a line comment', code: 'Load(dll);  // 224 bytes on 32-bit, 0x8664', found: false },
    { why: 'a block comment', code: '/* the 64-bit (x86-64)\n   build */ Load(dll);', found: false },
    { why: 'a width of a number', code: 'Fail("is no unsigned 32-bit number");', found: false },
    { why: 'a comment marker in a string', code: 'Run("// 64-bit");', found: true },
  ];
  for (const c of cases) {
    const lines = hardWiredLines('t.cpp', readsBuild + c.code + '\n');
    assert.equal(lines.length > 0, c.found, `${c.why}: ${JSON.stringify(lines)}`);
  }
});

test('a file that builds fixtures of a stated width and never reads this build is free to name it', () => {
  const fixture = 'PeFixture f;\nf.machine = kMachineAmd64;\nExpect("64-bit (x86-64)");\n';
  assert.deepEqual(hardWiredLines('fixture.cpp', fixture), []);
  // The same lines beside a look at this build's files are reported, each with its place.
  assert.deepEqual(hardWiredLines('mixed.cpp', readsBuild + fixture), [
    'mixed.cpp:3: f.machine = kMachineAmd64;',
    'mixed.cpp:4: Expect("64-bit (x86-64)");',
  ]);
});

test('comments go, strings and line numbers stay', () => {
  const source = 'a("//x"); // c\nb = R"d(/* raw )" */)d"; /* one\ntwo */ c = \'"\';\nd = 1\'000;\n';
  assert.equal(
    withoutComments(source),
    'a("//x"); \nb = R"d(/* raw )" */)d";       \n       c = \'"\';\nd = 1\'000;\n',
  );
});

test("a program's machine comes from its PE header", () => {
  const image = (machine, signature = 'PE\0\0') => {
    const bytes = Buffer.alloc(0x100);
    bytes.write('MZ', 0, 'latin1');
    bytes.writeUInt32LE(0x80, 0x3c);
    bytes.write(signature, 0x80, 'latin1');
    bytes.writeUInt16LE(machine, 0x84);
    return bytes;
  };
  assert.equal(peMachine(image(0x014c)), 0x014c);
  assert.equal(peMachine(image(0x8664)), 0x8664);
  assert.equal(peMachine(image(0x8664, 'NE\0\0')), null);
  assert.equal(peMachine(Buffer.from('#!/bin/sh\n')), null);
  const cut = image(0x8664).subarray(0, 0x83);
  assert.equal(peMachine(cut), null);
});
