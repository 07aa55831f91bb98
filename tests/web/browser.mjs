// The web host in a real browser (Debian's chromium through playwright-core):
//   node browser.mjs SBF_WEB DATA_DIR OUT_DIR
// starts SBF_WEB on a free loopback port over DATA_DIR and uses it as people do: ticks
// values and checks the counts after them, two origins at once (a row whose values exclude
// each other is either-or) and the same row turned to "all of them" by keyboard, skips to the
// criteria, sets a range by keyboard and by a typed amount, sorts both ways, pages through
// the vehicles, shows the vehicles the default filters hide, ticks "standard equipment only"
// and checks that a value's count is what its pick gives, picks prices in yen and switches
// the currency, follows the way back from a language error, and uses the page at a phone's
// 390 px (the drawer of criteria, the bar with the count, cards for the table), saving
// screenshots under OUT_DIR at 1280 and 390 px. Every count is compared with a count the
// sqlite3 shell gives for the same conditions. Focus stays on the control that acted.
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
const dollars = (text) => Number((text.match(/\$([\d,.]+)/) || ['', 'NaN'])[1].replace(/,/g, ''));

const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.id);

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

    // The keyboard: the first Tab reaches the skip link, which leads to the criteria, where
    // Europe is three Tabs away (the row's either-or box, Europe).
    await page.keyboard.press('Tab');
    check((await page.evaluate(() => document.activeElement.getAttribute('href'))) === '#criteria', 'the first Tab is not the skip link');
    await page.keyboard.press('Enter');
    await page.keyboard.press('Tab');
    await page.keyboard.press('Tab');
    const europeBox = '#criteria form.list[data-schema="7401"] input[type="checkbox"][value="EU"]';
    check((await focused(page)) === (await page.$eval(europeBox, (b) => b.id)), `two Tabs after the skip link: ${await focused(page)}`);

    // Pick a coded value: Europe, by keyboard.
    await navigate(page, () => page.keyboard.press('Space'));
    const europe = sqlCount(EUROPE);
    check((await count(page)) === europe, `after picking Europe: ${await count(page)} vehicles, the data says ${europe}`);
    check(europe < sqlCount(), 'picking Europe did not reduce the count');
    check(await page.isChecked(europeBox), 'Europe is not ticked after picking it');
    check((await focused(page)) === (await page.$eval(europeBox, (b) => b.id)), 'the focus did not come back to Europe');
    check(param(page, 'state').includes('2~7401~0~EU~EU~'), 'the address does not carry the state');

    // Counts after the values and greyed values that lead to no vehicle, against the
    // sqlite3 shell: every make the vehicles in play carry is listed, with the European cars
    // that have it; those without any are greyed out and cannot be ticked.
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

    // Origins exclude each other: the row is either-or from the start, Japan counted on its own.
    const JAPAN = has("e.schema_id = 7401 and e.data_value = 'JP'");
    const eitherOr = '#criteria form.either-or[data-schema="7401"] input[type="checkbox"]';
    check(await page.isChecked(eitherOr), 'the origin row is not either-or on the first screen');
    check(!(await page.$('#criteria form.either-or[data-schema="7403"]')), 'the one-value air-conditioning row has an either-or box');
    const japanBox = '#criteria form.list[data-schema="7401"] input[type="checkbox"][value="JP"]';
    let origins = await rowValues(page, 7401);
    const japan = origins.find((o) => o.value === 'JP');
    check(japan && !japan.disabled && japan.shown === sqlCount(JAPAN),
          `Japan: ${JSON.stringify(japan)}, the data says ${sqlCount(JAPAN)}`);
    await navigate(page, () => page.check(japanBox));
    const either = sqlCount(has("e.schema_id = 7401 and (e.data_value = 'EU' or e.data_value = 'JP')"));
    check((await count(page)) === either, `Europe or Japan: ${await count(page)} vehicles, the data says ${either}`);
    const json = await (await page.request.get(`${base}/api/screen${new URL(page.url()).search}`)).json();
    const originRow = json.rows.find((r) => r.schema === '7401');
    check(originRow.eitherOr && originRow.values.find((v) => v.value === 'JP').count === sqlCount(JAPAN),
          `the JSON screen lacks the mark or the count: ${JSON.stringify(originRow)}`);

    // "All of them", one key away and kept in the state: the two picks narrow to nothing,
    // stay ticked and can be unticked; the focus stays on the box.
    await page.focus(eitherOr);
    await navigate(page, () => page.keyboard.press('Space'));
    check(!(await page.isChecked(eitherOr)), 'the either-or box is still ticked after Space');
    check(!param(page, 'state').includes('either-or~7401~'), `the state keeps the origin's mark: ${param(page, 'state')}`);
    check((await focused(page)) === (await page.$eval(eitherOr, (b) => b.id)), 'the focus did not come back to the either-or box');
    check((await count(page)) === 0, 'Europe and Japan together match vehicles');
    origins = await rowValues(page, 7401);
    check(origins.filter((o) => o.checked && !o.disabled).length === 2, `the picks are not kept: ${JSON.stringify(origins)}`);
    check((await page.$$('#choices .without')).length === 2, 'nothing matches, and the choices do not say what each costs');
    await navigate(page, () => page.uncheck(japanBox));
    check((await count(page)) === sqlCount(EUROPE), 'unticking Japan did not give the European cars back');

    // A range on another tab, by keyboard: choosing alone does not submit, Enter does; the
    // tab keeps the focus, and shows how many choices it holds.
    await page.focus('nav.tabs a[data-category="Engine"]');
    await navigate(page, () => page.keyboard.press('Enter'));
    check((await focused(page)) === 'tab-Engine', `after the tab switch the focus is on ${await focused(page)}`);
    check((await page.textContent('nav.tabs a[data-category="General"] .badge')) === '1', 'the General tab does not show its choice');
    const minPicker = 'form.range[data-schema="135"] select[name="min"]';
    const fromCounts = await page.$$eval(`${minPicker} option`, (os) => os.filter((o) => o.value).map((o) => [o.value, o.textContent]));
    for (const [value, text] of fromCounts) {
      const expected = sqlCount(EUROPE, has(`e.schema_id = 135 and e.location = 0 and cast(e.data_value as real) >= ${value}`));
      check(text.endsWith(`(${expected})`), `"from ${value}" reads ${text}, the data says ${expected} from it up`);
    }
    await page.focus(minPicker);
    await page.selectOption(minPicker, '100');
    await page.waitForTimeout(300);
    check(!page.url().includes('~1~135~'), 'choosing a bound submitted before Enter');
    await navigate(page, () => page.keyboard.press('Enter'));
    const strong = sqlCount(EUROPE, FROM_100_HP);
    check((await count(page)) === strong, `after the range: ${await count(page)} vehicles, the data says ${strong}`);
    check(strong < europe, 'the range did not reduce the count');
    check((await page.$eval(minPicker, (s) => s.selectedOptions[0].textContent)) === '100', 'the minimum picker does not show 100');
    const below = await page.$$eval('form.range[data-schema="135"] select[name="max"] option',
                                    (os) => os.filter((o) => o.value && !o.value.startsWith('=') && Number(o.value) < 100).length);
    check(below === 0, `the "to" picker offers ${below} bounds below 100`);
    await page.screenshot({ path: path.join(outDir, 'screen-en.png') });

    // Sorting by price, both ways, cars without a price last; the sorted heading keeps the focus.
    await navigate(page, () => page.click('#vehicles th a[data-column="price"]'));
    check((await focused(page)) === 'sort-price', 'the sort heading lost the focus');
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

    // A choice removed by keyboard: the focus goes to the choice that takes its place.
    await page.focus('#remove-0');
    await navigate(page, () => page.keyboard.press('Enter'));
    check((await count(page)) === sqlCount(FROM_100_HP), 'removing Europe did not leave the horsepower alone');
    check((await focused(page)) === 'remove-0' && (await page.textContent('#choices li')).includes('100'),
          `after the removal the focus is on ${await focused(page)}`);

    // Pages: every vehicle once, 50 at a time.
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=1&cur=USD`));
    const seen = new Set();
    for (let pages = 0; ; ++pages) {
      const ids = await page.$$eval('#vehicles tbody tr', (rows) => rows.map((r) => r.dataset.vehicle));
      check(ids.length <= 50, `a page of ${ids.length} vehicles`);
      ids.forEach((id) => seen.add(id));
      if (!(await page.$('#page-next'))) break;
      await navigate(page, () => page.click('#page-next'));
      check(['page-next', 'vehicles-title'].includes(await focused(page)), `paging left the focus on ${await focused(page)}`);
      check(pages < 20, 'the pages do not end');
    }
    check(seen.size === sqlCount(), `the pages show ${seen.size} vehicles, the data has ${sqlCount()}`);

    // The vehicles the default filters hide, in a buyer's words: models no longer on sale too.
    const withOld = Number(sqlRows(`select count(*) from version v where ${DEFAULT_FILTERS[0]} and ` +
                                   `${has("e.schema_id = 302 and substr(e.data_value, 1, 3) <> '(+)'")};`)[0][0]);
    const old = withOld - sqlCount();
    const label = await page.textContent('#hidden label:has(#incl-old)');
    check(label.includes('no longer on sale') && label.includes(`(${old})`), `the old models' box reads "${label}", the data has ${old}`);
    await navigate(page, () => page.check('#incl-old'));
    check((await count(page)) === sqlCount() + old, `with the old models: ${await count(page)}, the data says ${sqlCount() + old}`);
    check(param(page, 'incl') === 'old' && (await focused(page)) === 'incl-old', 'the box did not keep the address or the focus');

    // Standard equipment only: a value's count is what its pick gives, the cars whose air
    // conditioning is standard.
    await navigate(page, () => page.goto(`${base}/?cat=Body&lang=1&cur=USD`));
    await navigate(page, () => page.check('#standard-only'));
    const standardAir = sqlCount(has('e.schema_id = 7403 and e.option_id = 0'));
    const air = (await rowValues(page, 7403))[0];
    check(air.shown === standardAir, `air conditioning shows (${air.shown}) under standard equipment, the data says ${standardAir}`);
    await navigate(page, () => page.check('#criteria form.list[data-schema="7403"] input[type="checkbox"]'));
    check((await count(page)) === standardAir, `picking it gives ${await count(page)}, not the (${standardAir}) it showed`);

    // Prices in yen: a range picked on the yen ladder counts the stored dollars; today's
    // yen has no decimals.
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=1&cur=JPY`));
    check(param(page, 'cur') === 'JPY', 'the address changed its currencies');
    const pricePicker = 'form.range[data-schema="902"] select[name="min"]';
    const minYen = (await page.$$eval(`${pricePicker} option`, (os) => os.map((o) => o.value).filter((v) => v)))[4];
    await page.selectOption(pricePicker, minYen);
    await navigate(page, () => page.press(pricePicker, 'Enter'));
    const rate = (code) => Number(sqlRows(`select conversion from currency_symbol where code = '${code}';`, 'prj.db')[0][0]);
    const fromYen = sqlCount(has(`e.schema_id = 902 and cast(e.data_value as real) >= ${minYen} * ${rate('USD') / rate('JPY')} - 0.005`));
    check((await count(page)) === fromYen, `from ¥${minYen}: ${await count(page)} vehicles, the data says ${fromYen}`);
    const yenChoice = await page.textContent('#choices li');
    check(/¥[\d,]+ \(\$/.test(yenChoice) && !/¥[\d,]+\.\d/.test(yenChoice), `the bound is not shown in whole yen: ${yenChoice}`);

    // Another currency replaces the first: the same vehicles, the bound in euros and dollars only.
    await page.selectOption('#currency', 'EUR');
    await navigate(page, () => page.press('#currency', 'Enter'));
    check(param(page, 'cur') === 'EUR', `the currencies pile up: ${param(page, 'cur')}`);
    check((await count(page)) === fromYen, 'switching the currency changed the count');
    const euroChoice = await page.textContent('#choices li');
    check(euroChoice.includes('€') && !euroChoice.includes('¥') && dollars(euroChoice) === dollars(yenChoice),
          `the bound is not the same in euros: ${euroChoice}`);

    // An amount typed in German: 5.000 euros.
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=3&cur=EUR`));
    await page.click('form.range[data-schema="902"] details.typed summary');
    await page.fill('form.range[data-schema="902"] input[name="tmin"]', '5.000');
    await navigate(page, () => page.press('form.range[data-schema="902"] input[name="tmin"]', 'Enter'));
    const fromEuro = sqlCount(has(`e.schema_id = 902 and cast(e.data_value as real) >= ${5000 * rate('USD') / rate('EUR')} - 0.005`));
    check((await count(page)) === fromEuro, `from 5.000 €: ${await count(page)} vehicles, the data says ${fromEuro}`);
    check((await page.textContent('#choices li')).includes('5.000,00\u00a0€'), 'the typed bound is not shown as today writes it');

    // A language typed into the address: the error's ways back keep the choices.
    const state = param(page, 'state');
    const lost = await page.goto(`${base}/?lang=8&cur=EUR&state=${encodeURIComponent(state)}`);
    check(lost.status() === 400, `an unknown language answered ${lost.status()}`);
    await Promise.all([page.waitForNavigation(), page.click('#ways a.way >> nth=1')]);
    check((await count(page)) === fromEuro && param(page, 'state') === state && param(page, 'lang') === '3',
          'the way back lost the choices');

    // An address too long to read gets a page that says so.
    const long = await page.request.get(`${base}/?state=${'x'.repeat(100000)}`);
    check(long.status() === 414 && (await long.text()).includes('too long'), `a 100 kB address answered ${long.status()}`);

    // A phone: nothing wider than the screen; the bar with the count and the way to the
    // vehicles always in view; the criteria in a drawer that the bar opens.
    await page.setViewportSize({ width: 390, height: 844 });
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=1&cur=USD`));
    const inView = async (selector) => {
      const box = await (await page.$(selector)).boundingBox();
      return box && box.y >= 0 && box.y + box.height <= 844;
    };
    const wide = async () => page.evaluate(() => document.documentElement.scrollWidth);
    check((await wide()) <= 390, `the page is ${await wide()} px wide on a 390 px screen`);
    check(await inView('#bar-show'), 'the bar with "show vehicles" is not in view');
    check(!(await page.isVisible(europeBox)), 'the drawer of criteria is open on a phone');
    await page.screenshot({ path: path.join(outDir, 'screen-390.png') });
    await page.click('#bar-filters');
    check(await page.isVisible(europeBox), 'the bar did not open the drawer');
    const small = await page.$$eval('#criteria input[type="checkbox"]', (bs) => bs.filter((b) => b.closest('label').getBoundingClientRect().height < 40).length);
    check(small === 0, `${small} check boxes have tap targets under 40 px`);
    await navigate(page, () => page.check(europeBox));
    check(await page.isVisible(europeBox), 'the drawer closed after a tick in it');
    check(await inView('#bar-show'), 'after a tick the count is not in view');
    check((await page.textContent('#bar strong')) === String(europe), 'the bar does not show the new count');
    await page.screenshot({ path: path.join(outDir, 'screen-390-drawer.png') });
    await page.click('#bar-show');
    check((await wide()) <= 390, `the vehicle cards are ${await wide()} px wide`);
    const card = await (await page.$('#vehicles tbody tr')).boundingBox();
    check(card.x >= 0 && card.x + card.width <= 390, 'a vehicle card does not fit the screen');
    await page.screenshot({ path: path.join(outDir, 'screen-390-vehicles.png') });
    await page.screenshot({ path: path.join(outDir, 'screen-390-full.png'), fullPage: true });
    await page.setViewportSize({ width: 1280, height: 900 });
    await page.reload();
    await page.screenshot({ path: path.join(outDir, 'screen-1280-full.png'), fullPage: true });
  } finally {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

// A server over a data folder that does not exist stops with the exit code sbf gives for it.
async function missingDataRefused() {
  const child = spawn(serverExe, ['--port', '0', '--data', path.join(outDir, 'no-such-folder')], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const code = await new Promise((resolve) => child.on('exit', resolve));
  check(code === 2 && stderr.includes('does not exist'), `a missing data folder answered ${code}: ${stderr}`);
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
  await missingDataRefused();
  await run(base);
} catch (e) {
  failure = e;
}
const stopped = await stopServer(server);
if (failure) fail(`${failure.stack || failure}\nserver output:\n${server.stderr()}`);
if (stopped.code !== 0) fail(`the server did not stop cleanly (${JSON.stringify(stopped)}):\n${server.stderr()}`);
console.log(`browser test: passed; screenshots in ${outDir}`);
