// A second start of census serve in a folder it serves already: with
// --open, as the Start menu's "census in the browser" starts it, it opens
// the browser on the running server and ends; without, it says that
// census serves the folder on that port. A server that was killed is in
// no one's way. The browser is a stand-in for xdg-open (which Wine's
// browser hand-off calls too) that writes down the address it is given.
// Run against census on Linux and census.exe under Wine. Usage:
//   node second_start.mjs [EMULATOR] CENSUS
import { spawnSync } from 'node:child_process';
import { chmodSync, existsSync, symlinkSync, mkdirSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { startServer, check } from './serve_helpers.mjs';

const command = process.argv.slice(2).map((word, i, all) => (i === all.length - 1 ? resolve(word) : word));

const scratch = mkdtempSync(join(tmpdir(), 'census-second-'));
const opened = join(scratch, 'opened');
mkdirSync(join(scratch, 'bin'));
writeFileSync(join(scratch, 'bin', 'xdg-open'), `#!/bin/sh\necho "$1" >> '${opened}'\n`);
chmodSync(join(scratch, 'bin', 'xdg-open'), 0o755);
process.env.PATH = `${join(scratch, 'bin')}:${process.env.PATH}`;
// The notes of this test's servers, in a place of its own.
mkdirSync(join(scratch, 'run'), { mode: 0o700 });
process.env.XDG_RUNTIME_DIR = join(scratch, 'run');

const census = (args, cwd) =>
  spawnSync(command[0], [...command.slice(1), ...args], { cwd, encoding: 'utf8', timeout: 60000 });
const openedAddresses = async (count) => {
  for (let i = 0; i < 300 && !(existsSync(opened) && readFileSync(opened, 'utf8').trim().split('\n').length >= count); i++) {
    await new Promise((done) => setTimeout(done, 100));
  }
  return existsSync(opened) ? readFileSync(opened, 'utf8').trim().split('\n') : [];
};
const stop = async (child, signal) => {
  const ended = new Promise((done) => child.on('exit', done));
  child.kill(signal);
  await ended;
};

const server = await startServer(command);
try {
  const token = new URL(server.url).searchParams.get('token');
  const again = census(['serve', '--open'], server.dir);
  check(again.status === 0 &&
    again.stderr.includes(`census serve already serves `) &&
    new RegExp(` at http://127\\.0\\.0\\.1:${server.port}/\\r?\\n`).test(again.stderr) &&
    !again.stderr.includes(token),
    `a second start with --open ends at once, naming the running server without its token: ${again.status} ${again.stderr}`);
  const addresses = await openedAddresses(1);
  check(addresses.length === 1 && addresses[0] === server.url,
    `and the browser is opened on the running server, token and all: ${addresses}`);

  // The same folder by another name: in other letters with a trailing
  // separator on Windows, where folder names ignore case; through a link
  // and ".." elsewhere.
  const windows = command.length > 1;
  const otherName = windows ? `Z:${server.dir.replaceAll('/', '\\').toUpperCase()}\\` : join(scratch, 'link', '..', 'link');
  if (!windows) symlinkSync(server.dir, join(scratch, 'link'));
  const renamed = census(['-C', otherName, 'serve', '--open'], scratch);
  check(renamed.status === 0 && renamed.stderr.includes('census serve already serves '),
    `the folder by another name (${otherName}) is the same folder: ${renamed.status} ${renamed.stderr}`);
  const openedAgain = await openedAddresses(2);
  check(openedAgain.length === 2 && openedAgain[1] === server.url, `and the running server is opened: ${openedAgain}`);

  const samePort = census(['serve', '--port', String(server.port)], server.dir);
  check(samePort.status === 2 &&
    samePort.stderr.includes(`cannot listen on 127.0.0.1:${server.port}: census serve already serves this folder there`),
    `without --open, it says census serves the folder there: ${samePort.stderr}`);
  const elsewhere = census(['serve', '--open', '--port', String(server.port)], mkdtempSync(join(tmpdir(), 'census-elsewhere-')));
  check(elsewhere.status === 2 && elsewhere.stderr.includes('the port is in use by another program') &&
    !elsewhere.stderr.includes('press any key'),
    `from another folder the port is taken, and no window waits for a key: ${elsewhere.stderr}`);
} finally {
  await stop(server.child, 'SIGKILL');
}

// The note of the killed server is no one's: the next start serves.
const next = await startServer(command, {}, { dir: server.dir, args: ['--port', '0', '--open'] });
try {
  check(next.port !== server.port || next.url !== server.url, 'after the first was killed, the next start serves');
  const addresses = await openedAddresses(3);
  check(addresses.length === 3 && addresses[2] === next.url, `and opens its own address: ${addresses}`);
} finally {
  await stop(next.child, 'SIGTERM');
}
