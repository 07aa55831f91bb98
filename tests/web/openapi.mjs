// The API's description (GET /api/openapi.json) against the server's real answers:
//   node openapi.mjs SBF_WEB DATA_DIR
// The document is checked as OpenAPI 3.1 (@seriousme/openapi-schema-validator); each answer
// below is checked against the schema its path and status name (Ajv, JSON Schema 2020-12,
// the formats of ajv-formats), with every object's members listed, so a member the server
// writes and the description lacks fails as well as one it lacks.
import { spawn } from 'node:child_process';
import { Validator } from '@seriousme/openapi-schema-validator';
import Ajv2020 from 'ajv/dist/2020.js';
import addFormats from 'ajv-formats';

const [serverExe, dataDir] = process.argv.slice(2);
if (!serverExe || !dataDir) {
  console.error('usage: node openapi.mjs SBF_WEB DATA_DIR');
  process.exit(2);
}

let failures = 0;
const check = (ok, what) => {
  if (!ok) {
    failures += 1;
    console.error(`FAIL ${what}`);
  }
};

function start() {
  const child = spawn(serverExe, ['--port', '0', '--data', dataDir], { stdio: ['ignore', 'pipe', 'pipe'] });
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const m = out.match(/listening on (http:\/\/\S+?)\/\s/);
      if (m) resolve({ child, base: m[1] });
    });
    child.on('exit', (code) => reject(new Error(`sbf-web exited with ${code} before listening`)));
  });
}

// The cases: an address of the API and the status it answers.
const cases = [
  ['/api/screen', 200],
  ['/api/screen?cat=Engine&lang=3&cur=EUR&fmt=windows&sort=-price&limit=5&offset=5', 200],
  ['/api/screen?op=pick&schema=7401&loc=0&value=EU', 200],
  ['/api/screen?op=range&schema=902&loc=0&min=5000&max=', 200],
  ['/api/screen?state=2~7401~0~EU~EU~~2~7401~0~JP~JP~~1~135~0~~300~!!&cat=General', 200],
  ['/api/screen?incl=old,built&std=1&cat=Body', 200],
  ['/api/screen?state=2~7401~0~~Europe~', 400],
  ['/api/screen?lang=2', 400],
  ['/api/screen?cur=usd', 400],
  ['/api/screen?op=explode', 400],
  ['/api/nowhere', 404],
  [`/api/screen?cat=${'x'.repeat(9000)}`, 414],
];

async function main() {
  const { child, base } = await start();
  try {
    const description = await (await fetch(`${base}/api/openapi.json`)).json();
    const validator = new Validator();
    const result = await validator.validate(description);
    check(result.valid, `the description is not valid OpenAPI 3.1: ${JSON.stringify(result.errors)}`);
    check(description.openapi.startsWith('3.1'), 'the description is not OpenAPI 3.1');

    const ajv = new Ajv2020({ strict: false, allErrors: true });
    addFormats(ajv);
    ajv.addSchema({ $id: 'api', components: description.components });
    const operation = description.paths['/api/screen'].get;
    for (const [address, status] of cases) {
      const response = await fetch(base + address, { redirect: 'manual' });
      check(response.status === status, `${address.slice(0, 80)} answered ${response.status}, not ${status}`);
      const declared = operation.responses[String(response.status)];
      check(declared, `${address.slice(0, 80)}: status ${response.status} is not described`);
      if (!declared) continue;
      const schema = declared.content['application/json'].schema;
      const validate = ajv.compile({ $ref: `api${schema.$ref}` });
      check(response.headers.get('content-type').startsWith('application/json'), `${address.slice(0, 80)}: not JSON`);
      const body = await response.json();
      check(validate(body), `${address.slice(0, 80)}: ${ajv.errorsText(validate.errors)}`);
    }
    // A tag still valid: 304, described too.
    const first = await fetch(`${base}/api/screen?cat=Body`);
    const again = await fetch(`${base}/api/screen?cat=Body`, { headers: { 'If-None-Match': first.headers.get('etag') } });
    check(again.status === 304 && operation.responses['304'], `a tag still valid answered ${again.status}`);
  } finally {
    child.kill('SIGTERM');
  }
  console.log(failures === 0 ? `openapi: ${cases.length} answers match the description` : `openapi: ${failures} failed`);
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
