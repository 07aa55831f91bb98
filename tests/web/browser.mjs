// The web host in a real browser (Debian's chromium through playwright-core):
//   node browser.mjs SBF_WEB DATA_DIR OUT_DIR
// starts SBF_WEB on a free loopback port over DATA_DIR and uses it as people do: ticks
// values, sets ranges by keyboard and pointer, reloads, sorts both ways, switches the
// language and the currencies, picks prices in yen, narrows the window to a phone's and
// follows the ways back from errors, checks the counts after the values and marks a row
// either-or, saving screenshots under OUT_DIR (screen-390.png is the phone, screen-counts.png
// greyed values). Every count is compared with a count the sqlite3 shell gives for the
// same conditions.
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
function sqlValue(sql, file = 'specs.db') {
  return Number(execFileSync('sqlite3', ['-readonly', path.join(dataDir, file), sql], { encoding: 'utf8' }).trim());
}
function sqlCount(...conditions) {
  const sql = `select count(*) from version v where ${[...DEFAULT_FILTERS, ...conditions].join(' and ')};`;
  const out = execFileSync('sqlite3', ['-readonly', path.join(dataDir, 'specs.db'), sql], { encoding: 'utf8' });
  return Number(out.trim());
}
// Vehicles per value of an item among those passing the default filters and `conditions`:
// { value: count }, the values no such vehicle carries absent.
function sqlCountsPerValue(schema, ...conditions) {
  const sql = 'select e.data_value, count(distinct v.vehicle_id) from version v join equipment e on ' +
    `e.vehicle_id = v.vehicle_id and e.schema_id = ${schema} and e.location = 0 ` +
    `where ${[...DEFAULT_FILTERS, ...conditions].join(' and ')} group by e.data_value;`;
  const out = execFileSync('sqlite3', ['-readonly', '-separator', '\t', path.join(dataDir, 'specs.db'), sql], { encoding: 'utf8' });
  return Object.fromEntries(out.trim().split('\n').filter((l) => l).map((l) => {
    const [value, n] = l.split('\t');
    return [value, Number(n)];
  }));
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
const titles = (page) => page.$$eval('#criteria .row legend', (ls) => ls.map((l) => l.textContent));
const param = (page, name) => new URL(page.url()).searchParams.get(name);

// Runs `action` and waits for the page it leads to (a change answers 303, then the screen).
async function navigate(page, action) {
  await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), action()]);
  check(!(await page.$('#error')), `the page shows an error: ${await page.textContent('body')}`);
}

// Picks an option of a drop-down the way a keyboard user does: the choice alone does not
// submit; Enter does, or leaving the drop-down's form (Tab, Tab: the second picker of a
// row or of the settings is in the same form).
async function pickOption(page, selector, value, how = 'enter') {
  const before = page.url();
  await page.focus(selector);
  await page.selectOption(selector, value);
  await page.waitForTimeout(200);
  check(page.url() === before, 'choosing an option submitted before an explicit action');
  if (how === 'enter') {
    await navigate(page, () => page.keyboard.press('Enter'));
    return;
  }
  await page.keyboard.press('Tab');
  await page.waitForTimeout(200);
  check(page.url() === before, 'moving to the next picker of the same form submitted');
  await navigate(page, () => page.keyboard.press('Tab'));
}

// The values of a list row as shown: code, the count after it, ticked, greyed out.
const rowValues = (page, schema) => page.$eval(`#criteria form.list[data-schema="${schema}"]`, (form) =>
  [...form.querySelectorAll('input[type="checkbox"]')].map((box) => ({
    value: box.value,
    shown: Number((box.closest('label').querySelector('.count') || { textContent: '(NaN)' }).textContent.replace(/[()]/g, '')),
    checked: box.checked,
    disabled: box.disabled,
  })));

// Counts after the values, greyed values that lead to no vehicle, and a row turned
// either-or, each against the sqlite3 shell.
async function countsAndEitherOr(browser, base) {
  const page = await browser.newPage();
  await page.goto(`${base}/?cat=General`);
  await navigate(page, () => page.check('#criteria form.list[data-schema="7401"] input[type="checkbox"][value="EU"]'));

  // Every make the vehicles in play carry is listed, with the European cars that have it;
  // those without any are greyed out and cannot be ticked.
  const inPlay = sqlCountsPerValue(111);
  const european = sqlCountsPerValue(111, EUROPE);
  const makes = await rowValues(page, 111);
  check(makes.map((m) => m.value).sort().join() === Object.keys(inPlay).sort().join(),
        `the make row lists ${makes.map((m) => m.value).join()}, the vehicles in play have ${Object.keys(inPlay).join()}`);
  for (const make of makes) {
    const expected = european[make.value] || 0;
    check(make.shown === expected, `make ${make.value} shows (${make.shown}), the data says ${expected} European cars`);
    check(make.disabled === (expected === 0), `make ${make.value} with ${expected} cars is ${make.disabled ? '' : 'not '}greyed out`);
  }
  check(makes.some((m) => m.disabled) && makes.some((m) => !m.disabled), 'the make row has no greyed and live values side by side');
  const greyColour = await page.$eval('#criteria form.list[data-schema="111"] li.none label', (l) => getComputedStyle(l).color);
  const liveColour = await page.$eval('#criteria form.list[data-schema="111"] li:not(.none) label', (l) => getComputedStyle(l).color);
  check(greyColour !== liveColour, 'greyed values look like the others');
  await page.screenshot({ path: path.join(outDir, 'screen-counts.png') });

  // Origin either-or, by keyboard: Japan is offered again, counted without the Origin choice.
  const JAPAN = has("e.schema_id = 7401 and e.data_value = 'JP'");
  const eitherOr = '#criteria form.either-or[data-schema="7401"] input[type="checkbox"]';
  check((await page.getAttribute(eitherOr, 'aria-label')) === 'Origin: either-or (any ticked value matches)',
        'the either-or check box is not labelled with its row');
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
  check(either === sqlCount(EUROPE) + sqlCount(JAPAN), 'the sample has cars of both origins at once');
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
  await page.close();
}

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
    check(!(await page.$('#clear')), '"Clear all" is offered with nothing chosen');
    const favicon = await page.request.get(`${base}/favicon.ico`);
    check(favicon.status() === 200, `/favicon.ico answered ${favicon.status()}`);

    // Pick a coded value: Europe, a real check box.
    const europeBox = '#criteria form.list[data-schema="7401"] input[type="checkbox"][value="EU"]';
    await navigate(page, () => page.check(europeBox));
    const europe = sqlCount(EUROPE);
    check((await count(page)) === europe, `after picking Europe: ${await count(page)} vehicles, the data says ${europe}`);
    check(europe < sqlCount(), 'picking Europe did not reduce the count');
    check(await page.isChecked(europeBox), 'Europe is not ticked after picking it');
    check(param(page, 'state').includes('7401'), 'the address does not carry the state');

    // A range on another tab, by keyboard: arrow keys move, leaving the picker submits.
    await navigate(page, () => page.click('nav.tabs a[data-category="Engine"]'));
    const minPicker = 'form.range[data-schema="135"] select[name="min"]';
    check((await page.getAttribute(minPicker, 'aria-label')) === 'Horsepower (hp), from', 'the picker is not labelled with its row');
    await page.focus(minPicker);
    await page.keyboard.press('ArrowDown');
    await page.waitForTimeout(300);
    check(!page.url().includes('state=2~7401~0~EU~EU~~1'), 'an arrow key submitted the range');
    await pickOption(page, minPicker, '100');
    const strong = sqlCount(EUROPE, FROM_100_HP);
    check((await count(page)) === strong, `after the range: ${await count(page)} vehicles, the data says ${strong}`);
    check(strong < europe, 'the range did not reduce the count');
    check((await page.$eval(minPicker, (s) => s.selectedOptions[0].textContent)) === '100', 'the minimum picker does not show 100');

    // Space on a check box far down the page ticks it; the page comes back at the same place
    // with the focus on that box.
    await page.setViewportSize({ width: 1280, height: 500 });
    const sixBox = '#criteria form.list[data-schema="1101"] input[type="checkbox"]:not([disabled])';
    const boxId = await page.$eval(sixBox, (b) => b.id);
    await page.focus(`#${boxId}`);
    await page.$eval(`#${boxId}`, (b) => b.scrollIntoView({ block: 'center' }));
    const scrolled = await page.evaluate(() => scrollY);
    check(scrolled > 100, 'the page is too short to test its place');
    await navigate(page, () => page.keyboard.press('Space'));
    const focused = await page.evaluate(() => document.activeElement.id);
    check(focused === boxId, `the focus did not come back to the check box ${boxId}: ${focused} ${page.url()}`);
    check(Math.abs((await page.evaluate(() => scrollY)) - scrolled) < 150, 'the page did not keep its place');
    check(await page.isChecked(`#${boxId}`), 'Space did not tick the check box');
    await navigate(page, () => page.keyboard.press('Space'));  // and untick it again
    await page.setViewportSize({ width: 1280, height: 900 });
    check((await count(page)) === strong, 'unticking did not restore the count');

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

    // Another language: titles, headings, wording and the page's lang.
    const english = await titles(page);
    await pickOption(page, '#language', '3', 'leave');
    const german = await titles(page);
    check(german.includes('Leistung (hp)') && !english.includes('Leistung (hp)'), `the titles are not translated: ${german.join(', ')}`);
    check((await page.textContent('nav.tabs')).includes('Motor'), 'the headings are not translated');
    check((await page.getAttribute('html', 'lang')) === 'de', 'the page does not say it is German');
    check((await page.textContent('#count')).includes('Fahrzeuge passen'), 'the page wording is not German');
    check((await count(page)) === strong, 'switching the language changed the count');
    await page.screenshot({ path: path.join(outDir, 'screen-de.png') });

    // The same screen as JSON, from the same parameters.
    const api = await page.request.get(`${base}/api/screen${new URL(page.url()).search}`);
    check(api.status() === 200, `the JSON screen answered ${api.status()}`);
    const json = await api.json();
    check(json.count === strong, `the JSON screen counts ${json.count}, not ${strong}`);
    check(json.state === param(page, 'state'), 'the JSON screen has another state');
    check(json.rows.some((r) => r.title === 'Leistung (hp)' && r.kind === 'range' && r.min === '100'),
          'the JSON screen lacks the range row with its minimum');
    const badBytes = await page.request.get(`${base}/api/screen?cat=%FF`);
    check(badBytes.status() === 400 && (await badBytes.json()).error.description.includes('\uFFFD'),
          'a request with bytes that are not UTF-8 did not give valid JSON');
    const missing = await page.request.get(`${base}/no/such/page`);
    check(missing.status() === 404, `an unknown path answered ${missing.status()}`);

    // Prices in yen: a range picked on the yen ladder counts the stored dollars.
    await navigate(page, () => page.goto(`${base}/?cat=General&lang=1&cur=JPY%2CUSD`));
    const pricePicker = 'form.range[data-schema="902"] select[name="min"]';
    const yen = await page.$$eval(`${pricePicker} option`, (os) => os.map((o) => o.value).filter((v) => v));
    const minYen = yen[4];
    await pickOption(page, pricePicker, minYen);
    const rate = sqlValue("select (select conversion from currency_symbol where code = 'USD') / (select conversion from currency_symbol where code = 'JPY')", 'prj.db');
    const fromYen = sqlCount(has(`e.schema_id = 902 and cast(e.data_value as real) >= ${minYen} * ${rate} - 0.005`));
    check((await count(page)) === fromYen, `from ¥${minYen}: ${await count(page)} vehicles, the data says ${fromYen}`);
    const yenChoice = await page.textContent('#choices li');
    check(yenChoice.includes('¥'), `the bound is not shown in yen: ${yenChoice}`);

    // Another primary currency: the same vehicles, the bound shown in euros.
    await pickOption(page, '#currency', 'EUR,JPY,USD');
    check((await count(page)) === fromYen, 'switching the currency changed the count');
    const euroChoice = await page.textContent('#choices li');
    check(euroChoice.includes('€') && dollars(euroChoice) === dollars(yenChoice), `the bound is not the same in euros: ${euroChoice}`);
    // Drop a currency again; the stored one cannot be dropped.
    check(!(await page.$('#currencies .currency[data-code="USD"] a.remove')), 'the stored currency can be dropped');
    await navigate(page, () => page.click('#currencies .currency[data-code="JPY"] a.remove'));
    check(param(page, 'cur') === 'EUR,USD', `dropping JPY left ${param(page, 'cur')}`);
    check((await count(page)) === fromYen, 'dropping a currency changed the count');

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

    // A language typed into the address: the error offers the project's languages, keeping the choices.
    const state = param(page, 'state');
    const lost = await page.goto(`${base}/?lang=8&cur=EUR%2CUSD&state=${encodeURIComponent(state)}`);
    check(lost.status() === 400, `an unknown language answered ${lost.status()}`);
    check((await page.$$('#ways a.way')).length === 4, 'the error does not offer the project\'s languages');
    await page.screenshot({ path: path.join(outDir, 'error-language.png') });
    await Promise.all([page.waitForNavigation(), page.click('#ways a.way >> nth=1')]);
    check((await count(page)) === fromYen && param(page, 'state') === state && param(page, 'lang') === '3',
          'the way back lost the choices');
    const lower = await page.request.get(`${base}/api/screen?cur=usd`);
    const lowerBody = await lower.json();
    check(lower.status() === 400 && lowerBody.error.description.includes('codes are upper case: USD'),
          `a lower-case currency answered ${JSON.stringify(lowerBody)}`);

    // An unreadable state: a 400 page that offers to clear it.
    const response = await page.goto(`${base}/?state=${encodeURIComponent('2~7401~0~~EU')}`);
    check(response.status() === 400, `an unreadable state answered ${response.status()}`);
    check((await page.textContent('#error-source')) === 'mirel_SbF.ParseState', 'the error does not name its source');
    await Promise.all([page.waitForNavigation(), page.click('#clear-state')]);
    check((await count(page)) === sqlCount(), 'clearing the state does not give the first screen');

    await countsAndEitherOr(browser, base);
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
