// The web host in a real browser (Debian's chromium through playwright-core):
//   node browser.mjs SBF_WEB DATA_DIR OUT_DIR
// starts SBF_WEB on a free loopback port over DATA_DIR and uses it as people do: ticks
// values, checks the counts after them and marks a row either-or, sets a range by keyboard,
// sorts both ways, picks prices in yen, switches and drops currencies, follows the way back
// from a language error and narrows the window to a phone's, saving screenshots under OUT_DIR
// (screen-390.png is the phone, screen-counts.png greyed values). Every count is compared
// with a count the sqlite3 shell gives for the same conditions.
// The server is stopped at the end, also when a step fails.
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const CHROMIUM = '/usr/bin/chromium';
const [serverExe, dataDir, outDir] = process.argv.slice(2);

function fail(message) {
  console.error(`browser test: ${message}`);
  process.exit(1);
}

// A missing chromium or sqlite3 shell fails the first step that needs it, with its path.
if (!serverExe || !dataDir || !outDir) fail('usage: node browser.mjs SBF_WEB DATA_DIR OUT_DIR');
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
// The rows of `sql` on specs.db, each as its fields.
const sqlRows = (sql, db = 'specs.db') => execFileSync('sqlite3', ['-readonly', '-separator', '\t', path.join(dataDir, db), sql],
  { encoding: 'utf8' }).trim().split('\n').filter((l) => l).map((l) => l.split('\t'));
const where = (conditions) => [...DEFAULT_FILTERS, ...conditions].join(' and ');
const sqlCount = (...conditions) => Number(sqlRows(`select count(*) from version v where ${where(conditions)};`)[0][0]);
// Vehicles per value of an item among those passing the default filters and `conditions`:
// { value: count }, the values no such vehicle carries absent.
function sqlCountsPerValue(schema, ...conditions) {
  const sql = 'select e.data_value, count(distinct v.vehicle_id) from version v join equipment e on ' +
    `e.vehicle_id = v.vehicle_id and e.schema_id = ${schema} and e.location = 0 where ${where(conditions)} group by 1;`;
  return Object.fromEntries(sqlRows(sql).map(([value, n]) => [value, Number(n)]));
}

// Starts the server with --port 0 and waits for the address it prints.
function startServer() {
  const child = spawn(serverExe, ['--port', '0', '--data', dataDir], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stdout = '';
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const ready = new Promise((resolve, reject) => {
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = stdout.match(/listening on (http:\/\/127\.0\.0\.1:\d+)\//);
      if (match) resolve(match[1]);
    });
    exited.then(({ code }) => reject(new Error(`the server exited with ${code} before listening: ${stderr}`)));
    setTimeout(() => reject(new Error(`the server did not start in 60 s: ${stderr}`)), 60000).unref();
  });
  return { child, ready, exited, stderr: () => stderr };
}

// SIGTERM, and SIGKILL when the server has not stopped 20 s later (which fails the test).
async function stopServer(server) {
  if (server.child.exitCode === null && server.child.signalCode === null) server.child.kill('SIGTERM');
  const timer = setTimeout(() => server.child.kill('SIGKILL'), 20000);
  const stopped = await server.exited;
  clearTimeout(timer);
  return stopped;
}

const count = async (page) => Number(await page.getAttribute('#count', 'data-count'));
const param = (page, name) => new URL(page.url()).searchParams.get(name);

// Runs `action` and waits for the page it leads to (a change answers 303, then the screen).
async function navigate(page, action) {
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), action()]);
  check(!(await page.$('#error')), `the page shows an error: ${await page.textContent('body')}`);
}

// The values of a list row as shown: code, the count after it, ticked, greyed out.
const rowValues = (page, schema) => page.$eval(`#criteria form.list[data-schema="${schema}"]`, (form) =>
  [...form.querySelectorAll('input[type="checkbox"]')].map((box) => ({
    value: box.value,
    shown: Number((box.closest('label').querySelector('.count') || { textContent: '(NaN)' }).textContent.replace(/[()]/g, '')),
    checked: box.checked,
    disabled: box.disabled,
  })));

// The dollars of a price cell or choice, "€6,329.11 ($6,835.44)" -> 6835.44.
const dollars = (text) => Number((text.match(/\$([\d,.]+)/) || [, 'NaN'])[1].replace(/,/g, ''));

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
    await page.goto(`${base}/?utm_source=mail`);
    check((await count(page)) === sqlCount(), 'the first screen does not count every vehicle');

    // Pick a coded value: Europe, a real check box.
    const europeBox = '#criteria form.list[data-schema="7401"] input[type="checkbox"][value="EU"]';
    await navigate(page, () => page.check(europeBox));
    const europe = sqlCount(EUROPE);
    check((await count(page)) === europe, `after picking Europe: ${await count(page)} vehicles, the data says ${europe}`);
    check(europe < sqlCount(), 'picking Europe did not reduce the count');
    check(await page.isChecked(europeBox), 'Europe is not ticked after picking it');
    check(param(page, 'state').includes('7401'), 'the address does not carry the state');

    // Counts after the values, greyed values that lead to no vehicle, and a row turned
    // either-or, each against the sqlite3 shell.
    // Every make the vehicles in play carry is listed, with the European cars that have it;
    // those without any are greyed out and cannot be ticked.
    const inPlay = sqlCountsPerValue(111);
    const european = sqlCountsPerValue(111, EUROPE);
    const makes = await rowValues(page, 111);
    check(makes.map((m) => m.value).sort().join() === Object.keys(inPlay).sort().join(),
          `the make row lists ${makes.map((m) => m.value).join()}, the vehicles in play have ${Object.keys(inPlay).join()}`);
    for (const make of makes) {
      const expected = european[make.value] || 0;
      check(make.shown === expected, `make ${make.value} shows (${make.shown}), the data says ${expected}`);
      check(make.disabled === (expected === 0), `make ${make.value} with ${expected} cars is ${make.disabled ? '' : 'not '}greyed out`);
    }
    check(makes.some((m) => m.disabled) && makes.some((m) => !m.disabled), 'the make row has no greyed and live values side by side');
    await page.screenshot({ path: path.join(outDir, 'screen-counts.png') });

    // Origin either-or, by keyboard: Japan is offered again, counted without the Origin choice.
    const JAPAN = has("e.schema_id = 7401 and e.data_value = 'JP'");
    const eitherOr = '#criteria form.either-or[data-schema="7401"] input[type="checkbox"]';
    await page.focus(eitherOr);
    await navigate(page, () => page.keyboard.press('Space'));
    check(await page.isChecked(eitherOr), 'the either-or check box is not ticked after Space');
    check(param(page, 'state').startsWith('either-or~7401~0~~~'), `the address does not carry the mark: ${param(page, 'state')}`);
    check((await page.evaluate(() => document.activeElement.id)) === (await page.$eval(eitherOr, (b) => b.id)),
          'the focus did not come back to the either-or check box');
    const japanBox = '#criteria form.list[data-schema="7401"] input[type="checkbox"][value="JP"]';
    let origins = await rowValues(page, 7401);
    const japan = origins.find((o) => o.value === 'JP');
    check(japan && !japan.disabled && japan.shown === sqlCount(JAPAN),
          `Japan either-or: ${JSON.stringify(japan)}, the data says ${sqlCount(JAPAN)}`);
    check((await count(page)) === sqlCount(EUROPE), 'marking the row either-or changed the count');

    // Two values of it: the vehicles with either one.
    await navigate(page, () => page.check(japanBox));
    const either = sqlCount(has("e.schema_id = 7401 and (e.data_value = 'EU' or e.data_value = 'JP')"));
    check((await count(page)) === either, `Europe or Japan: ${await count(page)} vehicles, the data says ${either}`);
    const json = await (await page.request.get(`${base}/api/screen${new URL(page.url()).search}`)).json();
    const originRow = json.rows.find((r) => r.schema === '7401');
    check(originRow.eitherOr && originRow.values.find((v) => v.value === 'JP').count === sqlCount(JAPAN),
          `the JSON screen lacks the mark or the count: ${JSON.stringify(originRow)}`);

    // Unmarked again, the two picks narrow to nothing, but both stay ticked and can be unticked.
    await navigate(page, () => page.uncheck(eitherOr));
    check((await count(page)) === 0, 'Europe and Japan together match vehicles');
    origins = await rowValues(page, 7401);
    check(origins.filter((o) => o.checked && !o.disabled).length === 2, `the picks are not kept: ${JSON.stringify(origins)}`);
    await navigate(page, () => page.uncheck(japanBox));
    check((await count(page)) === sqlCount(EUROPE), 'unticking Japan did not give the European cars back');

    // A range on another tab, by keyboard: choosing alone does not submit, Enter does.
    await navigate(page, () => page.click('nav.tabs a[data-category="Engine"]'));
    const minPicker = 'form.range[data-schema="135"] select[name="min"]';
    await page.focus(minPicker);
    await page.selectOption(minPicker, '100');
    await page.waitForTimeout(300);
    check(!page.url().includes('state=2~7401~0~EU~EU~~1'), 'choosing a bound submitted before Enter');
    await navigate(page, () => page.keyboard.press('Enter'));
    const strong = sqlCount(EUROPE, FROM_100_HP);
    check((await count(page)) === strong, `after the range: ${await count(page)} vehicles, the data says ${strong}`);
    check(strong < europe, 'the range did not reduce the count');
    check((await page.$eval(minPicker, (s) => s.selectedOptions[0].textContent)) === '100', 'the minimum picker does not show 100');
    await page.screenshot({ path: path.join(outDir, 'screen-en.png') });

    // Sorting by price, both ways, cars without a price last.
    await navigate(page, () => page.click('#vehicles th a[data-column="price"]'));
    const prices = async () => page.$$eval('#vehicles tbody td[data-column="price"]', (cells) => cells.map((c) => c.textContent));
    let shown = await prices();
    check(shown.length === strong, `the table has ${shown.length} rows, not ${strong}`);
    const ordered = (list, sign) => list.every((p, i) => i === 0 || !p || (list[i - 1] && sign * (dollars(p) - dollars(list[i - 1])) >= 0));
    const emptyLast = (list) => list.every((p, i) => p || list.slice(i).every((q) => !q));
    check(ordered(shown, 1) && emptyLast(shown), `the table is not sorted up by price: ${shown.join(' | ')}`);
    await navigate(page, () => page.click('#vehicles th a[data-column="price"]'));
    shown = await prices();
    check(ordered(shown, -1) && emptyLast(shown), `the table is not sorted down by price: ${shown.join(' | ')}`);
    check((await page.getAttribute('#vehicles th[aria-sort]', 'aria-sort')) === 'descending', 'the sorted column is not marked');

    // Prices in yen: a range picked on the yen ladder counts the stored dollars.
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=1&cur=JPY%2CUSD`));
    const pricePicker = 'form.range[data-schema="902"] select[name="min"]';
    const minYen = (await page.$$eval(`${pricePicker} option`, (os) => os.map((o) => o.value).filter((v) => v)))[4];
    await page.selectOption(pricePicker, minYen);
    await navigate(page, () => page.press(pricePicker, 'Enter'));
    const rate = Number(sqlRows("select (select conversion from currency_symbol where code = 'USD') / " +
                                "(select conversion from currency_symbol where code = 'JPY');", 'prj.db')[0][0]);
    const fromYen = sqlCount(has(`e.schema_id = 902 and cast(e.data_value as real) >= ${minYen} * ${rate} - 0.005`));
    check((await count(page)) === fromYen, `from ¥${minYen}: ${await count(page)} vehicles, the data says ${fromYen}`);
    const yenChoice = await page.textContent('#choices li');
    check(yenChoice.includes('¥'), `the bound is not shown in yen: ${yenChoice}`);

    // Another primary currency: the same vehicles, the bound shown in euros; a currency
    // dropped again, never the stored one.
    await page.selectOption('#currency', 'EUR,JPY,USD');
    await navigate(page, () => page.press('#currency', 'Enter'));
    check((await count(page)) === fromYen, 'switching the currency changed the count');
    const euroChoice = await page.textContent('#choices li');
    check(euroChoice.includes('€') && dollars(euroChoice) === dollars(yenChoice), `the bound is not the same in euros: ${euroChoice}`);
    check(!(await page.$('#currencies .currency[data-code="USD"] a.remove')), 'the stored currency can be dropped');
    await navigate(page, () => page.click('#currencies .currency[data-code="JPY"] a.remove'));
    check(param(page, 'cur') === 'EUR,USD', `dropping JPY left ${param(page, 'cur')}`);
    check((await count(page)) === fromYen, 'dropping a currency changed the count');

    // A language typed into the address: the error's ways back keep the choices.
    const state = param(page, 'state');
    const lost = await page.goto(`${base}/?lang=8&cur=EUR%2CUSD&state=${encodeURIComponent(state)}`);
    check(lost.status() === 400, `an unknown language answered ${lost.status()}`);
    await Promise.all([page.waitForNavigation(), page.click('#ways a.way >> nth=1')]);
    check((await count(page)) === fromYen && param(page, 'state') === state && param(page, 'lang') === '3',
          'the way back lost the choices');

    // A phone: nothing wider than the screen, the count and a way to the vehicles on top.
    await page.setViewportSize({ width: 390, height: 844 });
    await page.reload();
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    check(width <= 390, `the page is ${width} px wide on a 390 px screen`);
    const show = await page.$('#show');
    const box = await show.boundingBox();
    check(box && box.y + box.height < 844, 'the "show vehicles" link is not on the first screen');
    const small = await page.$$eval('#criteria input[type="checkbox"]', (bs) => bs.filter((b) => b.closest('label').getBoundingClientRect().height < 40).length);
    check(small === 0, `${small} check boxes have tap targets under 40 px`);
    await page.screenshot({ path: path.join(outDir, 'screen-390.png') });
    await page.screenshot({ path: path.join(outDir, 'screen-390-full.png'), fullPage: true });
    await page.setViewportSize({ width: 1280, height: 900 });
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
