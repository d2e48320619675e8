// census push against a DHIS2 stand-in of the tests' own: an HTTPS server
// whose certificate comes from a certificate authority made here with
// openssl. It checks each request as DHIS2 would take it (the path, the
// content type, the ApiToken header, the data value set) and answers, by
// the first word of the path census was given, with an import summary, one
// with conflicts, 401, 409, no answer at all, or a certificate census must
// not trust. Usage:
//   node push.mjs [EMULATOR] CENSUS
// Under an emulator (census.exe under Wine, through WinHTTP) the cases that
// need the test's own certificate authority are left out: Windows trusts
// its own store alone, and the stand-in's certificate must be refused. So
// is the slow server: Wine's WinHTTP does not keep to its timeouts.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, writeFileSync, chmodSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import https from 'node:https';
import http from 'node:http';

const command = process.argv.slice(2).map((word, i, all) => (i === all.length - 1 ? resolve(word) : word));
const underEmulator = command.length > 1;
const dir = mkdtempSync(join(tmpdir(), 'census-push-'));
const token = 'd2pat_census0test0token0never0shown0123456789';
let failures = 0;

function check(condition, what, detail = '') {
  console.log(`${condition ? 'ok' : 'FAILED'}: ${what}`);
  if (!condition) {
    failures += 1;
    if (detail) console.log(detail);
  }
}

// A certificate authority (or the one of authority) and a certificate
// from it, for 127.0.0.1 unless other names are given.
function makeCertificate(name, altNames = 'IP:127.0.0.1,DNS:localhost', authority = name) {
  const openssl = (...args) => execFileSync('openssl', args, { cwd: dir, stdio: 'pipe' });
  const key = ['-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes'];
  if (authority === name) {
    openssl('req', '-x509', ...key, '-keyout', `${name}-ca.key`, '-out', `${name}-ca.pem`, '-days', '2',
      '-subj', `/CN=census test ${name} authority`);
  }
  writeFileSync(join(dir, `${name}.ext`), `subjectAltName=${altNames}\nbasicConstraints=CA:FALSE\n`);
  openssl('req', ...key, '-keyout', `${name}.key`, '-out', `${name}.csr`, '-subj', '/CN=127.0.0.1');
  openssl('x509', '-req', '-in', `${name}.csr`, '-CA', `${authority}-ca.pem`, '-CAkey', `${authority}-ca.key`,
    '-CAcreateserial', '-out', `${name}.pem`, '-days', '2', '-extfile', `${name}.ext`);
  return { key: readFileSync(join(dir, `${name}.key`)), cert: readFileSync(join(dir, `${name}.pem`)) };
}

const summary = (values) => ({
  responseType: 'ImportSummary', status: 'SUCCESS', description: 'Import process completed successfully',
  importCount: { imported: values, updated: 0, ignored: 0, deleted: 0 }, conflicts: [],
});
// As newer servers answer: the summary wrapped, with conflicts.
const wrapped = (status, httpStatusCode) => ({
  httpStatus: httpStatusCode === 200 ? 'OK' : 'Conflict', httpStatusCode, status,
  message: 'An error occurred, please check import summary.',
  response: {
    responseType: 'ImportSummary', status,
    importCount: { imported: 6, updated: 0, ignored: 2, deleted: 0 },
    conflicts: [
      { object: 'NG-ZA', objects: { orgUnit: 'NG-ZA' }, value: 'Org unit not found or not accessible', errorCode: 'E7610' },
      { object: 'POP_YOUTH', value: 'Data element not found\u001b[31m or not accessible', errorCode: 'E7611' },
    ],
  },
});

// What the stand-in saw last, and how it answers each first word of the path.
const seen = [];
// The values it holds, as DHIS2 keeps them: by data element, period, org
// unit and combo ("default" where the value names none).
const stored = new Map();
const keyOf = (v) => [v.dataElement, v.period, v.orgUnit, v.categoryOptionCombo ?? 'default'].join('|');
function store(body) {
  for (const v of JSON.parse(body).dataValues) stored.set(keyOf(v), { ...v, categoryOptionCombo: v.categoryOptionCombo ?? 'default' });
}
// GET /api/dataValueSets as DHIS2 answers it: the values of the data set,
// period and org units asked for, in the schemes asked for (codes here).
function answerGet(url, res) {
  const q = url.searchParams;
  const units = new Set(q.getAll('orgUnit'));
  const fine = q.get('dataSet') === 'CENSUS_POP' && q.get('inputIdScheme') === 'CODE' && q.get('idScheme') === 'CODE';
  if (!fine) return send(res, 409, { httpStatus: 'Conflict', status: 'ERROR', message: 'Data set not found or not accessible' });
  const dataValues = [...stored.values()].filter((v) => v.period === q.get('period') && units.has(v.orgUnit));
  return send(res, 200, dataValues.length ? { dataSet: 'CENSUS_POP', dataValues } : { dataSet: 'CENSUS_POP' });
}
const answers = {
  ok: (res, values, body) => { store(body); send(res, 200, summary(values)); },
  warning: (res) => send(res, 200, wrapped('WARNING', 200)),
  conflict: (res) => send(res, 409, wrapped('ERROR', 409)),
  unauthorized: (res) => send(res, 401, { httpStatus: 'Unauthorized', httpStatusCode: 401, status: 'ERROR', message: 'Unauthorized' }),
  slow: () => {},
  html: (res) => { res.writeHead(200, { 'Content-Type': 'text/html' }); res.end('<html>login</html>'); },
};
function send(res, status, document) {
  res.writeHead(status, { 'Content-Type': 'application/json' });
  res.end(JSON.stringify(document));
}
function handle(req, res) {
  let body = '';
  req.setEncoding('utf8');
  req.on('data', (chunk) => { body += chunk; });
  req.on('end', () => {
    const url = new URL(req.url, 'http://x');
    const [, word, ...rest] = url.pathname.split('/');
    let values = -1;
    try { values = JSON.parse(body).dataValues.length; } catch { /* checked below */ }
    seen.push({ method: req.method, path: '/' + rest.join('/'), query: url.search, type: req.headers['content-type'],
      authorization: req.headers.authorization, values, body });
    // As DHIS2 answers a request without a session or token: off to its login page.
    if (word === 'login' && !req.headers.authorization) {
      res.writeHead(302, { Location: `/${word}/dhis-web-commons/security/login.action` });
      return res.end();
    }
    if (req.method === 'GET' && rest.join('/') === 'api/dataValueSets') {
      if (req.headers.authorization !== `ApiToken ${token}`) return answers.unauthorized(res);
      return answerGet(url, res);
    }
    const fine = req.method === 'POST' && rest.join('/') === 'api/dataValueSets' && values > 0 &&
      req.headers['content-type'] === 'application/json';
    if (!fine) return send(res, 400, { message: 'not a data value set' });
    if (req.headers.authorization !== `ApiToken ${token}`) return answers.unauthorized(res);
    (answers[word] ?? answers.ok)(res, values, body);
  });
}

async function listen(server) {
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return server.address().port;
}

// census in the fixture folder; resolves with its status and words.
function census(args, cwd = join(dir, 'folder')) {
  return new Promise((done) => {
    const child = spawn(command[0], [...command.slice(1), ...args], { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    child.stdout.on('data', (chunk) => { out += chunk; });
    child.stderr.on('data', (chunk) => { err += chunk; });
    child.on('close', (status) => done({ status, out: out.replace(/\r\n/g, '\n'), err: err.replace(/\r\n/g, '\n') }));
  });
}

const trusted = makeCertificate('trusted');
const untrusted = makeCertificate('untrusted');
const secure = https.createServer(trusted, handle);
const stranger = https.createServer(untrusted, handle);
// From the trusted authority, but for another name.
const elsewhere = https.createServer(makeCertificate('elsewhere', 'DNS:hmis.example.ng', 'trusted'), handle);
const plain = http.createServer(handle);
const [securePort, strangerPort, plainPort, elsewherePort] =
  [await listen(secure), await listen(stranger), await listen(plain), await listen(elsewhere)];
// A port nothing listens on any more.
const gone = http.createServer();
const closed = await listen(gone);
await new Promise((done) => gone.close(done));

mkdirSync(join(dir, 'folder', 'census-history'), { recursive: true });
writeFileSync(join(dir, 'folder', 'Loc-datas0.dat'), 'Kebi 100 60 40 30\nZamfara 200 120 80 50\n');
writeFileSync(join(dir, 'token'), token + '\n');
chmodSync(join(dir, 'token'), 0o600);
writeFileSync(join(dir, 'open-token'), token + '\n');
chmodSync(join(dir, 'open-token'), 0o644);
const withToken = ['--token-file', join(dir, 'token')];
const trust = ['--ca-file', join(dir, 'trusted-ca.pem')];
const everything = [];
async function push(args) {
  const result = await census(['push', ...args]);
  everything.push(result.out, result.err);
  return result;
}

try {
  // Through plain HTTP to 127.0.0.1: every platform, WinHTTP under Wine too.
  const local = `http://127.0.0.1:${plainPort}`;
  let r = await push([`${local}/ok/`, ...withToken]);
  const sent = seen.at(-1);
  const sentLine = (word) => new RegExp(`^census push: 8 values of CENSUS_POP for \\d{4} sent to http://127\\.0\\.0\\.1:\\d+/${word}: `);
  check(r.status === 0 && sentLine('ok').test(r.out) && r.out.endsWith(': 8 imported\n'),
    'a push the server takes whole says what was sent where, and the import summary, and exits 0', JSON.stringify(r));
  check(sent?.path === '/api/dataValueSets' && sent.query === '?idScheme=CODE' && sent.type === 'application/json' &&
    sent.authorization === `ApiToken ${token}` && sent.values === 8,
    'it POSTs the data value set as JSON to /api/dataValueSets with the ApiToken header', JSON.stringify(sent));
  check(JSON.parse(sent.body).idScheme === 'CODE', 'the data value set says its ids are codes', sent.body);
  const history = await census(['history']);
  check(/^1 {2}\S+ {2}push {2}\S+ {2}sent to http:\/\/127\.0\.0\.1:\d+\/ok: 8 values of CENSUS_POP for \d{4}: 8 imported\n$/.test(history.out),
    'the push is in the history with the address and the summary', history.out);

  // The way back: what was pushed reads back the same; a value changed on
  // the server shows, and --save brings it, as a save restore undoes.
  r = await census(['pull', `${local}/ok/api/`, ...withToken]);
  check(r.status === 0 && /: the server and the lists agree\n$/.test(r.out) && r.out.startsWith('census pull: 8 values of CENSUS_POP'),
    'a pull after a push finds the server and the lists agree', JSON.stringify(r));
  for (const v of stored.values()) if (v.orgUnit === 'NG-KE' && v.dataElement === 'POP_YOUTH') v.value = '31';
  r = await census(['pull', `${local}/ok`, ...withToken]);
  check(r.status === 1 && r.out.startsWith('Loc-datas0.dat: Kebi: youth: 30 here, 31 on the server\n'),
    'a value changed on the server shows in pull, which exits 1', JSON.stringify(r));
  r = await census(['pull', `${local}/ok`, '--save', ...withToken]);
  check(r.status === 1 && r.out.endsWith('census pull: Loc-datas0.dat is not written: the server does not hold every figure of Katsina, Jigawa\n'),
    'pull --save leaves a list the server does not hold whole, and names the states it lacks', JSON.stringify(r));
  for (const orgUnit of ['NG-KT', 'NG-JI']) {
    for (const [dataElement, value] of [['POP_TOTAL', '10'], ['POP_MALE', '6'], ['POP_FEMALE', '4'], ['POP_YOUTH', '2']]) {
      const v = { dataElement, period: [...stored.values()][0].period, orgUnit, categoryOptionCombo: 'default', value };
      stored.set(keyOf(v), v);
    }
  }
  r = await census(['pull', `${local}/ok`, '--save', ...withToken]);
  // Saved with the platform's line ends, as every save is.
  const pulled = readFileSync(join(dir, 'folder', 'Loc-datas0.dat'), 'utf8').replace(/\r\n/g, '\n');
  check(r.status === 0 && r.out.includes('Loc-datas0.dat saved as the server holds it') && pulled === 'Kebi 100 60 40 31\nZamfara 200 120 80 50\nKatsina 10 6 4 2\nJigawa 10 6 4 2\n',
    'pull --save brings it once the server holds the whole list', JSON.stringify(r) + pulled);
  const pullEntry = (await census(['history'])).out.split('\n')[0];
  check(/^2 {2}\S+ {2}pull {2}/.test(pullEntry), 'the pull is a save in the history', pullEntry);
  r = await census(['restore', '2']);
  check(r.status === 0 && readFileSync(join(dir, 'folder', 'Loc-datas0.dat'), 'utf8').startsWith('Kebi 100 60 40 30\n'),
    'and census restore undoes it', JSON.stringify(r));

  const entries = (await census(['history'])).out;
  r = await push([`${local}/ok`, '--dry-run', ...withToken]);
  check(r.status === 0 && seen.at(-1).query === '?idScheme=CODE&dryRun=true' && r.out.includes('a dry run'),
    '--dry-run asks the server for a dry run', JSON.stringify(r));
  check((await census(['history'])).out === entries, 'and a dry run is not recorded');

  r = await push([`${local}/warning`, ...withToken]);
  check(r.status === 1 && sentLine('warning').test(r.out) && r.out.endsWith(': 6 imported, 2 ignored; 6 of the 8 stored\n' +
    '  Zamfara (NG-ZA): Org unit not found or not accessible\n  youth (POP_YOUTH): Data element not found\\e[31m or not accessible\n'),
  'a wrapped summary with conflicts says how many were stored, names each conflict by state or figure, its control characters shown, and exits 1', JSON.stringify(r));
  check((await census(['history'])).out.includes('6 imported, 2 ignored; 6 of the 8 stored\n'),
    'and the history keeps what was stored');

  r = await push([`${local}/conflict`, ...withToken]);
  check(r.status === 1 && r.out.includes(': the server refused the whole push: An error occurred') &&
    !r.out.includes('imported') && r.out.includes('Zamfara (NG-ZA): Org unit not found'),
  '409 with an ERROR summary says that the whole push was refused, never what was imported, and exits 1', JSON.stringify(r));
  const kept = (await census(['history'])).out;
  check(kept.includes(': the server refused the whole push: '),
    'and the history keeps it as refused', kept);

  r = await push([`${local}/login`]);
  check(r.status === 2 && r.err.includes('the server asks to sign in: give --token-file'),
    'a server that sends census to its login page asks for a token', JSON.stringify(r));

  r = await push([`${local}/unauthorized`, ...withToken]);
  check(r.status === 2 && r.err.includes('did not let the token in (401 Unauthorized'),
    '401 says the token was not let in and exits 2', JSON.stringify(r));
  r = await push([`${local}/ok`]);
  check(r.status === 2 && seen.at(-1).authorization === undefined && r.err.includes('401'),
    'without --token-file no Authorization is sent', JSON.stringify(r));

  r = await push([`${local}/html`, ...withToken]);
  check(r.status === 2 && r.err.includes('no DHIS2 import summary'), 'an answer that is no summary exits 2', JSON.stringify(r));

  // Wine's WinHTTP keeps waiting past the timeouts it is given.
  if (!underEmulator) {
    r = await push([`${local}/slow`, '--timeout', '2', ...withToken]);
    check(r.status === 2 && r.err.includes('no answer within 2 s'), 'a server that never answers is a timeout', JSON.stringify(r));
  }

  r = await push([`http://127.0.0.1:${closed}`, ...withToken]);
  check(r.status === 2 && r.err.includes('(the connection was refused)'), 'nothing listening is a refused connection', JSON.stringify(r));

  r = await push(['https://no-such-host.invalid', ...withToken]);
  check(r.status === 2 && r.err.includes('the name no-such-host.invalid is not found'), 'an unknown name is said', JSON.stringify(r));

  if (!underEmulator) {
    const asked = seen.length;
    r = await push([`http://127.0.0.1:${plainPort}/ok`, '--token-file', join(dir, 'open-token')]);
    check(r.status === 2 && r.err.includes('other users may read or change it (its mode is 0644)') && seen.length === asked,
      'a token file other users may read is refused before anything is sent', JSON.stringify(r));

    // Over TLS with the office's certificate authority.
    r = await push([`https://127.0.0.1:${securePort}/ok`, ...trust, ...withToken]);
    check(r.status === 0 && r.out.includes('8 imported'), 'HTTPS with --ca-file pushes', JSON.stringify(r));
    r = await push([`https://localhost:${securePort}/ok`, ...trust, ...withToken]);
    check(r.status === 0, 'the certificate matches by name too', JSON.stringify(r));
    r = await push([`https://127.0.0.1:${strangerPort}/ok`, ...trust, ...withToken]);
    check(r.status === 2 && r.err.includes("the server's certificate is not to be trusted"),
      'a certificate from another authority is refused', JSON.stringify(r));
    r = await push([`https://127.0.0.1:${elsewherePort}/ok`, ...trust, ...withToken]);
    check(r.status === 2 && r.err.includes("the server's certificate is not to be trusted: it is for hmis.example.ng, not for 127.0.0.1"),
      'a certificate for another name says both names', JSON.stringify(r));
  }
  const before = seen.length;
  r = await push([`https://127.0.0.1:${securePort}/ok`, ...withToken]);
  const refusal = underEmulator ? /not to be trusted|no secure connection/ : /not to be trusted/;
  check(r.status === 2 && refusal.test(r.err) && seen.length === before,
    "the system's store does not trust the stand-in, and nothing is sent", JSON.stringify(r));

  check(everything.every((text) => !text.includes(token) && !text.includes('d2pat_')), 'the token appears in no output');
} finally {
  for (const server of [secure, stranger, plain, elsewhere]) server.closeAllConnections?.();
  for (const server of [secure, stranger, plain, elsewhere]) server.close();
}
process.exit(failures === 0 ? 0 : 1);
