// The administration program in headless Chromium, JavaScript off (its pages
// need none): follows the menu, adds an IP and a host through the forms and
// checks each result page's message.
// Usage: node admin_browser_test.js BASE_URL PASSWORD HOST_KEY SCREENSHOT
const { chromium } = require('playwright-core');

const [baseUrl, password, hostKey, screenshot] = process.argv.slice(2);

async function expectText(page, text) {
  const body = await page.textContent('body');
  if (!body.includes(text)) throw new Error(`${page.url()}: no "${text}" in:\n${body}`);
}

const submit = (page) =>
  Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);

async function run(page) {
  await page.goto(`${baseUrl}/mervane-admin/`);
  await expectText(page, 'Menu');

  await page.click('text=Add real site IP');
  await page.fill('input[name=newIP]', '127.0.0.1');
  await submit(page);
  await expectText(page, 'IP successfuly added!');

  await page.click('text=New mapping');
  await page.selectOption('select[name=IPList]', '127.0.0.1');
  await submit(page);
  await page.fill('input[name=VHost]', hostKey);
  await submit(page);
  await page.fill('input[name=UserDir]', 'd:\\sites\\delta');
  await page.check('input[value=SchemeA]');
  await submit(page);
  await expectText(page, 'Virtual host options saved!');

  await page.click('text=List mappings');
  await page.selectOption('select[name=IPList]', '127.0.0.1');
  await submit(page);
  await expectText(page, hostKey);
  await page.screenshot({ path: screenshot, fullPage: true });
}

(async () => {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  try {
    const context = await browser.newContext({
      javaScriptEnabled: false,
      httpCredentials: { username: 'admin', password },
    });
    await run(await context.newPage());
  } finally {
    await browser.close();
  }
})().catch((error) => { console.error(error); process.exit(1); });
