// The operator's journey through census serve in a real browser: Debian's
// chromium, headless, driven by playwright-core. Usage:
//   node journey.mjs CENSUS [SCREENSHOT.png]
import { spawnSync } from 'node:child_process';
import http from 'node:http';
import { resolve } from 'node:path';
import { chromium } from 'playwright-core';
import { startServer, check } from './serve_helpers.mjs';

const census = resolve(process.argv[2]);
const screenshot = process.argv[3];
const list1 = ['Oyo', 'Lagos', 'Kwara', 'Delta', 'Osun', 'Abuja', 'Kaduna', 'Edo', 'Jos', 'Kano',
  'Ondo', 'Sokoto', 'Ekiti', 'Kogi', 'Nassarawa', 'Cross-River'];
const server = await startServer([census], {
  'datas.dat': list1.map((label, i) => {
    const total = 3000000 + 250000 * i;
    return `${label} ${total} ${total / 2 + 1000} ${total / 2 - 1000} ${Math.round(total * 0.4)}\n`;
  }).join(''),
});
const base = `http://127.0.0.1:${server.port}`;

// A page of another local server, whose form posts to census.
const foreign = http.createServer((req, res) => {
  res.setHeader('Content-Type', 'text/html');
  res.end(`<form method="post" action="${base}/lists/3"><input name="s1-total" value="1">` +
    '<button>Send</button></form>');
});
await new Promise((ready) => foreign.listen(0, '127.0.0.1', ready));

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--host-resolver-rules=MAP rebind.example 127.0.0.1'],
});
try {
  const context = await browser.newContext({ viewport: { width: 1100, height: 900 } });
  const page = await context.newPage();
  await page.goto(server.url);
  check(page.url() === base + '/', 'the token address leads to the files, without the token');
  check(await page.getByRole('link', { name: 'datas.dat', exact: true }).isVisible(), 'the files page lists the data files');

  await page.goto(base + '/lists/3');
  const rows = { Kebbi: [100, 60, 40, 30], Zamfara: [200, 120, 80, 50], Katsina: [300, 150, 150, 70], Jigawa: [400, 200, 200, 90] };
  for (const [state, figures] of Object.entries(rows)) {
    for (const [i, name] of ['total', 'male', 'female', 'youth'].entries()) {
      await page.getByLabel(`${state} ${name}`, { exact: true }).fill(String(figures[i]));
    }
  }
  const zamfaraMale = page.getByLabel('Zamfara male', { exact: true });
  await zamfaraMale.fill('12x');
  check(await zamfaraMale.getAttribute('aria-invalid') === 'true', 'a bad figure is marked as it is typed');
  await page.getByRole('button', { name: 'Save' }).click();
  check(await page.locator('#s2-male-error').textContent() === "'12x' is not a whole number",
    'the server says what is wrong at the field');
  check(server.read('Loc-datas0.dat') === null, 'and writes no file');
  await page.getByLabel('Zamfara male', { exact: true }).fill('120');
  await page.getByRole('button', { name: 'Save' }).click();
  check(await page.getByRole('status').textContent() === 'Saved.', 'the corrected list is saved');
  const listing = spawnSync(census, [], { cwd: server.dir, input: '1\n7\n-1\n', encoding: 'latin1' });
  check(/Zamfara\D+200\D+120\D+80\D+50/.test(listing.stdout), "the dialogue's option 7 lists the figures");
  if (screenshot) {
    await page.goto(base + '/lists/1');
    await page.screenshot({ path: screenshot, fullPage: false });
  }

  // Two tabs filled from one version: the second save is a conflict.
  const first = await context.newPage();
  const second = await context.newPage();
  await first.goto(base + '/lists/1');
  await second.goto(base + '/lists/1');
  await first.getByLabel('Oyo total', { exact: true }).fill('3000001');
  await first.getByRole('button', { name: 'Save' }).click();
  await first.waitForURL('**/lists/1?saved');
  await second.getByLabel('Lagos youth', { exact: true }).fill('1300001');
  const conflict = second.waitForResponse((r) => r.request().method() === 'POST');
  await second.getByRole('button', { name: 'Save' }).click();
  check((await conflict).status() === 409, 'a save over a changed file is a conflict');
  check(await second.getByLabel('Lagos youth', { exact: true }).inputValue() === '1300001',
    'and what was typed is still in the form');
  check(await second.getByText('now in the file: 3000001').isVisible(), 'beside what the file holds now');

  await page.goto(base + '/facility');
  const answers = ['Kano', 'Clinic', 'General-Hospital', 'Park', 'Secretariat', '10/12/2026'];
  const fields = page.locator('input.word');
  for (const [i, answer] of answers.entries()) await fields.nth(i).fill(answer);
  await fields.nth(3).fill('Green Park');
  await page.getByRole('button', { name: 'Save' }).click();
  check((await page.locator('#a4-error').textContent()).startsWith('one word only'), 'an answer with a blank is refused');
  await page.locator('#a4').fill('Park');
  await page.getByRole('button', { name: 'Save' }).click();
  check(server.read('Recs-Loc.dat').includes(':: Secretariat\n'), 'the facility answers are saved');

  await page.goto(base + '/import');
  const csv = 'list,label,total,male,female,youth\n3,Kebi,1,1,0,0\n3,Zamfara,2,1,1,0\n3,Katsina,3,2,1,0\n3,Jigawa,4,2,2,0\n';
  await page.locator('#file').setInputFiles({ name: 'figures.csv', mimeType: 'text/csv', buffer: Buffer.from(csv) });
  await page.getByRole('button', { name: 'Preview' }).click();
  check(await page.getByText('16 figures would change').isVisible(), 'an import shows what would change');
  check(await page.getByRole('cell', { name: '300 → 3' }).isVisible(), 'figure by figure, old and new');
  check(server.read('Loc-datas0.dat').startsWith('Kebi 100 '), 'before anything is saved');
  await page.getByRole('button', { name: 'Apply' }).click();
  check(server.read('Loc-datas0.dat') === 'Kebi 1 1 0 0\nZamfara 2 1 1 0\nKatsina 3 2 1 0\nJigawa 4 2 2 0\n',
    'and applies it');

  // A wrong save, then Restore on the history page brings the figures back.
  const right = server.read('datas.dat');
  await page.goto(base + '/lists/1');
  await page.getByLabel('Kano total', { exact: true }).fill('5');
  await page.getByRole('button', { name: 'Save' }).click();
  check(server.read('datas.dat') !== right, 'a wrong figure is saved');
  check((await page.getByText('Last saved').textContent()).includes('by serve'), 'the list says how it was last saved');
  await page.goto(base + '/history');
  await page.locator('ol.history > li').first().getByRole('button', { name: 'Restore' }).click();
  check(await page.getByRole('status').textContent() === 'Restored.', 'Restore on the history page');
  check(server.read('datas.dat') === right, 'brings the figures back');

  const before = server.read('Loc-datas0.dat');
  const address = foreign.address();
  await page.goto(`http://127.0.0.1:${address.port}/`);
  const posted = page.waitForResponse((r) => r.url() === `${base}/lists/3`);
  await page.getByRole('button', { name: 'Send' }).click();
  check((await posted).status() === 403 && server.read('Loc-datas0.dat') === before,
    'a form on another localhost port that posts here is refused');

  const rebound = await page.goto(`http://rebind.example:${server.port}/`);
  check(rebound.status() === 421, 'a rebinding host name is refused');
} finally {
  await browser.close();
  foreign.close();
  server.child.kill('SIGTERM');
}
