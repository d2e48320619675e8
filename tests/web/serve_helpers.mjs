// Starting `census serve` in a fresh folder, and plain HTTP requests to it
// with every header under the test's control.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import http from 'node:http';

// Starts the command (census and any emulator before it) as `serve --port 0`
// (or with the given arguments) in a new folder holding the given files (or
// in the given one); resolves once it has printed its address.
export async function startServer(command, files = {}, { dir = null, args = ['--port', '0'] } = {}) {
  dir ??= mkdtempSync(join(tmpdir(), 'census-serve-'));
  for (const [name, content] of Object.entries(files)) writeFileSync(join(dir, name), content);
  const child = spawn(command[0], [...command.slice(1), 'serve', ...args], {
    cwd: dir,
    stdio: ['ignore', 'ignore', 'pipe'],
  });
  let log = '';
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no address within 60 s:\n' + log)), 60000);
    child.stderr.on('data', (chunk) => {
      log += chunk;
      const found = /at (http:\/\/127\.0\.0\.1:(\d+)\/\?token=[0-9a-f]{32})\r?\n/.exec(log);
      if (found) {
        clearTimeout(timer);
        resolve(found[1]);
      }
    });
    child.on('exit', (code) => reject(new Error(`census serve ended (${code}):\n` + log)));
  });
  const port = Number(new URL(url).port);
  return {
    dir,
    url,
    port,
    child,
    log: () => log,
    read: (name) => (existsSync(join(dir, name)) ? readFileSync(join(dir, name), 'latin1') : null),
    write: (name, content) => writeFileSync(join(dir, name), content),
  };
}

// One request on its own connection: resolves to its status, headers and body.
export function request(port, { method = 'GET', path = '/', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const sent = { Host: `127.0.0.1:${port}`, Connection: 'close', ...headers };
    if (body !== undefined) sent['Content-Length'] = Buffer.byteLength(body);
    const req = http.request({ host: '127.0.0.1', port, method, path, headers: sent, setHost: false },
      (res) => {
        let text = '';
        res.setEncoding('utf8');
        res.on('data', (chunk) => (text += chunk));
        res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: text }));
      });
    req.on('error', reject);
    if (body !== undefined) req.write(body);
    req.end();
  });
}

// The cookie the server gives for its token.
export async function logIn(server) {
  const answer = await request(server.port, { path: new URL(server.url).pathname + new URL(server.url).search });
  if (answer.status !== 303) throw new Error('the token was not taken: ' + answer.status);
  return answer.headers['set-cookie'][0].split(';')[0];
}

export function versionOn(page) {
  return /name="version" value="([^"]*)"/.exec(page)[1];
}

// The fields of a list form: each state's four figures from rows of a table.
export function listForm(version, rows) {
  const fields = new URLSearchParams({ version });
  rows.forEach((figures, i) => {
    ['total', 'male', 'female', 'youth'].forEach((name, f) => fields.append(`s${i + 1}-${name}`, String(figures[f])));
  });
  return fields.toString();
}

export function check(condition, what) {
  if (!condition) throw new Error('failed: ' + what);
  console.log('ok - ' + what);
}
