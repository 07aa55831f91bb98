// The web host in a real browser (Debian's chromium through playwright-core):
//   node browser.mjs SBF_WEB DATA_DIR OUT_DIR
// starts SBF_WEB on a free loopback port over DATA_DIR, picks a value, sets a range,
// reloads, sorts, switches the language and saves screenshots under OUT_DIR. Every count
// is compared with a count the sqlite3 shell gives for the same conditions.
// The server is stopped at the end, also when a step fails.
import { spawn, execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const CHROMIUM = '/usr/bin/chromium';
const [serverExe, dataDir, outDir] = process.argv.slice(2);

function fail(message) {
  console.error(`browser test: ${message}`);
  process.exit(1);
}

if (!serverExe || !dataDir || !outDir) fail('usage: node browser.mjs SBF_WEB DATA_DIR OUT_DIR');
if (!existsSync(CHROMIUM))
  fail(`${CHROMIUM} is missing: install the Debian package chromium (.ci/run does)`);
try {
  execFileSync('sqlite3', ['-version'], { stdio: 'ignore' });
} catch {
  fail('the sqlite3 shell is missing: install the Debian package sqlite3 (.ci/run does)');
}
let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch (e) {
  fail(`node_modules/playwright-core is missing (run npm ci in the source folder): ${e.message}`);
}
mkdirSync(outDir, { recursive: true });

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// The independent answer: the vehicles of specs.db that pass the default filters (not an
// advance model, not old, not built) and carry every condition, counted by the sqlite3
// command-line shell with SQL of this test's own, not through the library.
const has = (condition) => `exists (select 1 from equipment e where e.vehicle_id = v.vehicle_id and ${condition})`;
const DEFAULT_FILTERS = [
  has("e.schema_id = 106 and e.data_value <> 'A'"),
  has("e.schema_id = 302 and substr(e.data_value, 1, 3) not in ('(O)', '(+)')"),
];
const EUROPE = has("e.schema_id = 7401 and e.data_value = 'EU'");
const FROM_100_HP = has('e.schema_id = 135 and e.location = 0 and cast(e.data_value as real) >= 100');
function sqlCount(...conditions) {
  const sql = `select count(*) from version v where ${[...DEFAULT_FILTERS, ...conditions].join(' and ')};`;
  const out = execFileSync('sqlite3', ['-readonly', path.join(dataDir, 'specs.db'), sql], { encoding: 'utf8' });
  return Number(out.trim());
}

// Starts the server with --port 0 and waits for the address it prints.
function startServer() {
  const child = spawn(serverExe, ['--port', '0', '--data', dataDir], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const ready = new Promise((resolve, reject) => {
    let stdout = '';
    const timer = setTimeout(() => reject(new Error(`the server did not start in 60 s: ${stderr}`)), 60000);
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = stdout.match(/listening on (http:\/\/127\.0\.0\.1:\d+)\//);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    child.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`the server exited with ${code} before listening: ${stderr}`));
    });
  });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  return { child, ready, exited, stderr: () => stderr };
}

async function stopServer(server) {
  if (server.child.exitCode !== null || server.child.signalCode !== null) return server.exited;
  server.child.kill('SIGTERM');
  let timer;
  const timeout = new Promise((resolve) => { timer = setTimeout(() => resolve(null), 20000); });
  const result = await Promise.race([server.exited, timeout]);
  clearTimeout(timer);
  if (result) return result;
  server.child.kill('SIGKILL');
  return server.exited;
}

const count = async (page) => Number(await page.getAttribute('#count', 'data-count'));
const titles = (page) => page.$$eval('#criteria .row h3', (hs) => hs.map((h) => h.textContent));

// Runs `action` and waits for the page it leads to (a change answers 303, then the screen).
async function navigate(page, action) {
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), action()]);
  check(!(await page.$('#error')), `the page shows an error: ${await page.textContent('body')}`);
}

async function run(base) {
  const profile = mkdtempSync(path.join(tmpdir(), 'sbf-web-chromium-'));
  const browser = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1280, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
  });
  try {
    const page = await browser.newPage();
    await page.goto(`${base}/`);
    check((await count(page)) === sqlCount(), 'the first screen does not count every vehicle');

    // Pick a coded value: Europe in the origin row.
    await navigate(page, () => page.click('#criteria .row[data-schema="7401"] a.choice[data-value="EU"]'));
    const europe = sqlCount(EUROPE);
    check((await count(page)) === europe, `after picking Europe: ${await count(page)} vehicles, the data says ${europe}`);
    check(europe < sqlCount(), 'picking Europe did not reduce the count');
    check(await page.getAttribute('#criteria .row[data-schema="7401"] a.choice[data-value="EU"]', 'aria-checked') === 'true',
          'Europe is not checked after picking it');
    check(new URL(page.url()).searchParams.get('state').includes('7401'), 'the address does not carry the state');

    // A range on another tab: horsepower from 100.
    await navigate(page, () => page.click('nav.tabs a[data-category="Engine"]'));
    await navigate(page, () => page.selectOption('form.range[data-schema="135"] select[name="min"]', '100'));
    const strong = sqlCount(EUROPE, FROM_100_HP);
    check((await count(page)) === strong, `after the range: ${await count(page)} vehicles, the data says ${strong}`);
    check(strong < europe, 'the range did not reduce the count');
    check(await page.$eval('form.range[data-schema="135"] select[name="min"]', (s) => s.value) === '100',
          'the minimum picker does not show 100');

    // The URL alone restores the screen.
    const url = page.url();
    const before = { count: await count(page), criteria: await page.innerHTML('#criteria'), choices: await page.innerHTML('#choices') };
    const fresh = await browser.newPage();
    await fresh.goto(url);
    check((await count(fresh)) === before.count, 'a fresh page from the URL counts differently');
    check((await fresh.innerHTML('#criteria')) === before.criteria, 'a fresh page from the URL shows other criteria');
    check((await fresh.innerHTML('#choices')) === before.choices, 'a fresh page from the URL shows other choices');
    await fresh.close();
    await page.reload();
    check((await count(page)) === before.count, 'the reloaded page counts differently');
    await page.screenshot({ path: path.join(outDir, 'screen-en.png') });

    // Sorting by a column heading.
    await navigate(page, () => page.click('#vehicles th a[data-column="price"]'));
    const prices = await page.$$eval('#vehicles tbody tr', (rows) => rows.map((r) => Number(r.cells[5].textContent)));
    check(prices.length === strong, `the table has ${prices.length} rows, not ${strong}`);
    check(prices.every((p, i) => i === 0 || prices[i - 1] <= p), 'the table is not sorted by price');

    // Another language: titles and headings translated, the same vehicles.
    const english = await titles(page);
    await navigate(page, () => page.selectOption('#settings select[name="lang"]', '3'));
    const german = await titles(page);
    check(german.includes('Leistung (hp)') && !english.includes('Leistung (hp)'),
          `the titles are not translated: ${german.join(', ')}`);
    check((await page.textContent('nav.tabs')).includes('Motor'), 'the headings are not translated');
    check((await count(page)) === strong, 'switching the language changed the count');
    await page.screenshot({ path: path.join(outDir, 'screen-de.png') });

    // The same screen as JSON, from the same parameters.
    const search = new URL(page.url()).search;
    const api = await page.request.get(`${base}/api/screen${search}`);
    check(api.status() === 200, `the JSON screen answered ${api.status()}`);
    const json = await api.json();
    check(json.count === strong, `the JSON screen counts ${json.count}, not ${strong}`);
    check(json.state === new URL(page.url()).searchParams.get('state'), 'the JSON screen has another state');
    check(json.rows.some((r) => r.title === 'Leistung (hp)' && r.kind === 'range' && r.min === '100'),
          'the JSON screen lacks the range row with its minimum');
    check(json.vehicles.length === strong, 'the JSON screen lists other vehicles');
    const missing = await page.request.get(`${base}/no/such/page`);
    check(missing.status() === 404, `an unknown path answered ${missing.status()}`);
    const badJson = await page.request.get(`${base}/api/screen?lang=2`);
    const badBody = await badJson.json();
    check(badJson.status() === 400 && badBody.error.source === 'mirel_SbF.GetTitleText' && badBody.error.number !== null,
          `an unknown language answered ${badJson.status()} ${JSON.stringify(badBody)}`);

    // An unreadable state: a 400 page that offers to clear it.
    const response = await page.goto(`${base}/?state=${encodeURIComponent('2~7401~0~~EU')}`);
    check(response.status() === 400, `an unreadable state answered ${response.status()}`);
    check((await page.textContent('#error-source')) === 'mirel_SbF.ParseState', 'the error does not name its source');
    await Promise.all([page.waitForNavigation(), page.click('#clear-state')]);
    check((await count(page)) === sqlCount(), 'clearing the state does not give the first screen');
  } finally {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

// A second server on the port of the first must refuse to start, not share the port.
async function secondServerRefused(base) {
  const port = new URL(base).port;
  const child = spawn(serverExe, ['--port', port, '--data', dataDir], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const code = await new Promise((resolve) => {
    const timer = setTimeout(() => { child.kill('SIGKILL'); resolve('still running after 30 s'); }, 30000);
    child.on('exit', (c) => { clearTimeout(timer); resolve(c); });
  });
  check(code === 2 && stderr.includes(`cannot listen on 127.0.0.1:${port}`),
        `a second server on port ${port} answered ${code}: ${stderr}`);
}

const server = startServer();
let failure = null;
try {
  const base = await server.ready;
  await secondServerRefused(base);
  await run(base);
} catch (e) {
  failure = e;
}
const stopped = await stopServer(server);
if (failure) fail(`${failure.stack || failure}\nserver output:\n${server.stderr()}`);
if (stopped.code !== 0) fail(`the server did not stop cleanly (${JSON.stringify(stopped)}):\n${server.stderr()}`);
console.log(`browser test: passed; screenshots in ${outDir}`);
