// The browser journey's requests, without a browser: run against census on
// Linux and against census.exe under Wine. Usage:
//   node requests.mjs [EMULATOR] CENSUS
import { spawnSync } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { startServer, request, logIn, versionOn, listForm, check } from './serve_helpers.mjs';

const command = process.argv.slice(2).map((word, i, all) => (i === all.length - 1 ? resolve(word) : word));
const underEmulator = command.length > 1;
const server = await startServer(command);
const cookie = await logIn(server);
const own = { Cookie: cookie, 'Sec-Fetch-Site': 'same-origin' };
const form = { ...own, 'Content-Type': 'application/x-www-form-urlencoded' };
const eol = underEmulator ? '\r\n' : '\n';

try {
  const second = spawnSync(command[0], [...command.slice(1), 'serve', '--port', String(server.port)],
    { cwd: mkdtempSync(join(tmpdir(), 'census-elsewhere-')), encoding: 'utf8', timeout: 60000 });
  check(second.status === 2 &&
    second.stderr.includes(`census: cannot listen on 127.0.0.1:${server.port}: the port is in use by another program`),
    'a second census serve on the port fails with status 2 and the reason');
  check((await request(server.port)).status === 403, 'without the cookie a page is refused');
  const page = await request(server.port, { path: '/lists/3', headers: { Cookie: cookie } });
  check(page.status === 200 && page.body.includes('aria-label="Kebbi total"'), 'list 3 is a form');
  const version = versionOn(page.body);
  const rows = [[100, 60, 40, 30], [200, 120, 80, 50], [300, 150, 150, 70], [400, 200, 200, 90]];

  const bad = listForm(version, rows).replace('s2-male=120', 's2-male=12x');
  const refused = await request(server.port, { method: 'POST', path: '/lists/3', headers: form, body: bad });
  check(refused.status === 422 && refused.body.includes("&#39;12x&#39; is not a whole number"),
    'a bad figure is shown at its field');
  check(server.read('Loc-datas0.dat') === null, 'and no file is written');

  const saved = await request(server.port, { method: 'POST', path: '/lists/3', headers: form, body: listForm(version, rows) });
  check(saved.status === 303 && saved.headers.location === '/lists/3?saved', 'the corrected list is saved');
  const labels = ['Kebi', 'Zamfara', 'Katsina', 'Jigawa'];
  const expected = rows.map((r, i) => `${labels[i]} ${r.join(' ')}${eol}`).join('');
  check(server.read('Loc-datas0.dat') === expected, 'the file is what the dialogue writes');
  const listing = spawnSync(command[0], command.slice(1), { cwd: server.dir, input: '1\n7\n-1\n', encoding: 'latin1' });
  check(listing.stdout.includes('300') && listing.stdout.includes('Katsina'), "the dialogue's option 7 lists them");

  const conflict = await request(server.port, { method: 'POST', path: '/lists/3', headers: form, body: listForm(version, rows) });
  check(conflict.status === 409 && conflict.body.includes('value="400"'),
    'a second save from the same version is a conflict that keeps what was typed');

  const facility = new URLSearchParams({ version: 'absent', a1: 'Kano', a2: 'Clinic', a3: 'Hospital', a4: 'Park', a5: 'Office', a6: '10/12/2026' });
  const answers = await request(server.port, { method: 'POST', path: '/facility', headers: form, body: facility.toString() });
  check(answers.status === 303 && server.read('Recs-Loc.dat').includes(':: Park' + eol), 'the facility answers are saved');

  const csv = 'list,label,total,male,female,youth\r\n3,Kebi,1,1,0,0\r\n3,Zamfara,2,1,1,0\r\n3,Katsina,3,2,1,0\r\n3,Jigawa,4,2,2,0\r\n';
  const upload = (name, extra = '') => `${extra}--b0undary\r\nContent-Disposition: form-data; name="${name}"; filename="x.csv"\r\n\r\n${csv}\r\n--b0undary--\r\n`;
  const multipart = { ...own, 'Content-Type': 'multipart/form-data; boundary=b0undary' };
  const preview = await request(server.port, { method: 'POST', path: '/import', headers: multipart, body: upload('file') });
  check(preview.status === 200 && preview.body.includes('16 figures would change'), 'an import shows what would change');
  const v3 = /name="version3" value="([^"]*)"/.exec(preview.body)[1];
  const apply = upload('csv', `--b0undary\r\nContent-Disposition: form-data; name="version3"\r\n\r\n${v3}\r\n`);
  const applied = await request(server.port, { method: 'POST', path: '/import/apply', headers: multipart, body: apply });
  check(applied.status === 200 && server.read('Loc-datas0.dat').startsWith('Kebi 1 1 0 0' + eol), 'and applies it');
  const history = await request(server.port, { path: '/history', headers: { Cookie: cookie } });
  check(history.status === 200 && history.body.includes('Save 3, ') && history.body.includes('by serve'),
    'the history holds the three saves');
  const restored = await request(server.port, { method: 'POST', path: '/history/restore', headers: form, body: 'number=3' });
  check(restored.status === 200 && server.read('Loc-datas0.dat') === expected, 'a restore puts the list back as before the import');
  const noSuch = await request(server.port, { method: 'POST', path: '/history/restore', headers: form, body: 'number=99' });
  check(noSuch.status === 404 && noSuch.body.includes('numbered 1 to 4'), 'a save that does not exist is said so');

  const crossSite = await request(server.port, { method: 'POST', path: '/lists/3', body: listForm(version, rows),
    headers: { Cookie: cookie, Origin: 'http://127.0.0.1:9', 'Content-Type': 'application/x-www-form-urlencoded' } });
  check(crossSite.status === 403, 'a form from another port is refused');
  const rebound = await request(server.port, { headers: { Cookie: cookie, Host: `attacker.example:${server.port}` } });
  check(rebound.status === 421, 'a rebinding host name is refused');
  for (const path of ['/', '/grid', '/check', '/report', '/export.csv', '/export.json', '/export.dhis2.json', '/export.adx',
    '/import', '/facility']) {
    const answer = await request(server.port, { path, headers: { Cookie: cookie } });
    check(answer.status === 200 && answer.headers['content-security-policy'].startsWith("default-src 'none'"), `${path} answers`);
  }
  const requestLines = server.log().split('\n').filter((line) => / (GET|POST) /.test(line));
  check(requestLines.length >= 10 && !requestLines.join('\n').includes(new URL(server.url).searchParams.get('token')),
    'a line per request, none with the token');
} finally {
  const stopped = new Promise((resolve) => server.child.on('exit', (code, signal) => resolve({ code, signal })));
  const started = Date.now();
  server.child.kill('SIGTERM');
  const { code } = await stopped;
  if (!underEmulator) check(code === 0 && Date.now() - started < 2500, 'SIGTERM stops it with status 0');
}
