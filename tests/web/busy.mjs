// census serve while another process holds the folder's save lock (here
// flock(1), as a census stopped in the middle of a save would): a save is
// answered at once with 503 and Retry-After, every page goes on answering,
// nothing is written, and SIGTERM still ends the server within 2 s.
// Usage: node busy.mjs CENSUS
import { spawn } from 'node:child_process';
import { join, resolve } from 'node:path';
import { startServer, request, logIn, versionOn, listForm, check } from './serve_helpers.mjs';

const server = await startServer([resolve(process.argv[2])]);
const holder = spawn('flock', ['--exclusive', join(server.dir, '.census-save.lock'), 'sleep', '60'],
  { stdio: 'ignore' });
try {
  await new Promise((done) => setTimeout(done, 300));  // flock has the lock
  const cookie = await logIn(server);
  const page = await request(server.port, { path: '/lists/3', headers: { Cookie: cookie } });
  const rows = [[1, 1, 0, 0], [2, 1, 1, 0], [3, 2, 1, 0], [4, 2, 2, 0]];
  const started = Date.now();
  const saved = await request(server.port, {
    method: 'POST', path: '/lists/3', body: listForm(versionOn(page.body), rows),
    headers: { Cookie: cookie, 'Sec-Fetch-Site': 'same-origin', 'Content-Type': 'application/x-www-form-urlencoded' },
  });
  check(saved.status === 503 && saved.headers['retry-after'] === '1' && Date.now() - started < 2000,
    'a save while another holds the lock is answered at once: 503 with Retry-After');
  check(server.read('Loc-datas0.dat') === null, 'and writes nothing');
  check((await request(server.port, { path: '/', headers: { Cookie: cookie } })).status === 200,
    'the pages go on answering');
  const stopped = new Promise((done) => server.child.on('exit', (code, signal) => done({ code, signal })));
  const stopping = Date.now();
  server.child.kill('SIGTERM');
  const end = await stopped;
  check(end.code === 0 && Date.now() - stopping < 2500, 'SIGTERM ends the server within 2 s');
} finally {
  holder.kill('SIGKILL');
  server.child.kill('SIGKILL');
}
