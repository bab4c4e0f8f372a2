// The serve page in headless Chromium, worked as a person would: press a key on the gauge's picture, type a
// variable's value, and see the gauge's text change on the picture and in the timeline.
//
// usage: node serve_page_test.mjs GAUGEBENCH MODULE PLAN OUTPUT_DIR [BUTTON_STACK_MODULE]
//   PLAN: "checklist" for zorlet, "test_gauge" for the frame's test gauge, "panel" for the demo's panel (MODULE
//   is then its panel file).
//   With the button stack's module, a click on its first button must have the page fetch and play the click.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { chromium } from 'playwright-core';

const [bench, module, planName, outputDir, buttonStack] = process.argv.slice(2);
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const kStepTimeout = 20000;

// Each plan: what to do on the picture and in the variables, and what the timeline must then show.
const plans = {
  checklist: {
    // Key 2 lies at x 117 to 167, y 320 to 370: page 2, "TAKEOFF CHECK", whose line 3 asks for flaps by speed.
    press: { x: 142, y: 345 },
    afterPress: ['line 1: TAKEOFF CHECK', 'line 3: FLAPS - POS. 3'],
    variable: { id: 61, value: '180', foundIn: 'line 2 source 2' },
    afterVariable: ['line 3: FLAPS - POS. 2'],
    pictureChanges: true,
  },
  panel: {
    // The checklist's key 2 at (142, 345) of the window; the quadrant lies at (428, 320), lever 1's strip at its
    // x 63 to 108: a drag there at the top sends full power, which the simulator carries out.
    press: { x: 142, y: 345 },
    afterPress: ['zorlet line 1: TAKEOFF CHECK'],
    drag: { x: 498, y: 320 },
    afterDrag: ['quandle event 65820 (0x1011C) value 16191', 'variable 128 set to 16191 by event 65820'],
    variable: { id: 61, value: '180', foundIn: 'zorlet line 2 source 2' },
    afterVariable: ['zorlet line 3: FLAPS - POS. 2'],
    pictureChanges: true,
  },
  test_gauge: {
    // The click area at (0, 0, 10, 10) sends the truncated values of 304 and 303.
    before: { id: 304, value: '7.9' },
    press: { x: 5, y: 5 },
    afterPress: ['event 20481 (0x5001) value 7'],
    variable: { id: 500, value: '3', foundIn: 'line 1 source 2' },
    afterVariable: ['line 1: xxx'],
    pictureChanges: false,  // its one line is drawn white whatever it says
  },
};

const pageErrors = [];

function fail(message) {
  if (pageErrors.length) message += `\nthe page reported:\n${pageErrors.join('\n')}`;
  console.error(`serve_page_test: ${message}`);
  process.exitCode = 1;
  throw new Error(message);
}

async function startServe(served = module) {
  const child = spawn(bench, ['serve', served, '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const lines = createInterface({ input: child.stdout });
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('serve printed no address')), 60000);
    lines.once('line', (line) => {
      clearTimeout(timer);
      const match = line.match(/http:\/\/127\.0\.0\.1:\d+\//);
      match ? resolve(match[0]) : reject(new Error(`no address in "${line}"`));
    });
    child.once('exit', (code) => reject(new Error(`serve ended with ${code} before listening`)));
  });
  return { child, url };
}

async function timelineHas(page, text) {
  await page.locator('#timeline li', { hasText: text }).first()
    .waitFor({ timeout: kStepTimeout })
    .catch(async () => fail(`the timeline never showed "${text}"; it holds:\n` +
                            (await page.locator('#timeline').innerText()).slice(0, 3000)));
}

// Waits until the picture shown is the newest the bench has drawn, as of the page's latest look.
async function pictureCaughtUp(page) {
  await page.waitForFunction(() => {
    const shown = document.getElementById('picture').dataset.version;
    return shown !== undefined && shown === document.body.dataset.pictureVersion;
  }, null, { timeout: kStepTimeout }).catch(() => fail('the picture never caught up with the bench'));
}

async function setVariable(page, id, value) {
  const field = page.locator(`#var-${id}-value`);
  await field.waitFor({ timeout: kStepTimeout }).catch(() => fail(`no field for variable ${id}`));
  await field.fill(value);
  await field.press('Enter');
  await timelineHas(page, `variable ${id} set to ${Number(value)}`);
}

async function stopServe(child) {
  child.kill('SIGINT');
  const code = await new Promise((resolve) => {
    if (child.exitCode !== null) resolve(child.exitCode);
    else child.once('exit', (c) => resolve(c));
  });
  if (code !== 0) fail(`serve ended with ${code} on SIGINT, expected 0`);
}

// The button stack: the click on button 1 is heard in the page, as the WAV the module played.
async function clickIsPlayed(context) {
  const { child, url } = await startServe(buttonStack);
  try {
    const page = await context.newPage();
    await page.addInitScript(() => {
      window.playedSounds = [];
      const play = HTMLMediaElement.prototype.play;
      HTMLMediaElement.prototype.play = function () {
        window.playedSounds.push(this.src);
        return play.call(this).catch(() => {});
      };
    });
    await page.goto(url);
    await page.waitForSelector('body[data-ready=true]', { timeout: kStepTimeout });
    const picture = page.locator('#picture');
    const zoom = Number(await page.locator('#zoom').inputValue());
    const originX = Number(await picture.getAttribute('data-origin-x'));
    const originY = Number(await picture.getAttribute('data-origin-y'));
    const sound = page.waitForResponse((r) => r.url().includes('/api/sound.wav'), { timeout: kStepTimeout });
    await picture.click({ position: { x: (18 - originX) * zoom, y: (18 - originY) * zoom } });
    const response = await sound.catch(() => fail('the page never fetched the click after a button was pressed'));
    // The media element may ask for a range of the file: 206 is as good as 200.
    if (![200, 206].includes(response.status()) || response.headers()['content-type'] !== 'audio/wav')
      fail(`the click came as ${response.status()} ${response.headers()['content-type']}`);
    await timelineHas(page, 'event 65907 (0x10173) value 1');
    await timelineHas(page, 'played a sound');
    const played = await page.evaluate(() => window.playedSounds);
    if (!played.some((src) => src.includes('/api/sound.wav'))) fail(`the page played ${JSON.stringify(played)}`);
    await page.close();
  } finally {
    await stopServe(child);
  }
}

async function main() {
  const plan = plans[planName] || fail(`no plan "${planName}"`);
  mkdirSync(outputDir, { recursive: true });
  const profile = mkdtempSync(join(tmpdir(), 'serve-chromium-'));
  const { child, url } = await startServe();
  let context;
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync'],
      viewport: { width: 1280, height: 900 },
    });
    const page = context.pages()[0] || await context.newPage();
    page.on('pageerror', (error) => pageErrors.push(String(error)));
    page.on('console', (message) => { if (message.type() === 'error') pageErrors.push(message.text()); });
    await page.goto(url);
    await page.waitForSelector('body[data-ready=true]', { timeout: kStepTimeout });
    const picture = page.locator('#picture');
    await page.waitForFunction(() => document.getElementById('picture').naturalWidth > 0, null,
                               { timeout: kStepTimeout });

    if (plan.before) await setVariable(page, plan.before.id, plan.before.value);
    await page.waitForTimeout(300);  // a few host cycles, so that the gauge has read what was set
    const zoom = Number(await page.locator('#zoom').inputValue());
    const originX = Number(await picture.getAttribute('data-origin-x'));
    const originY = Number(await picture.getAttribute('data-origin-y'));
    // The middle of the gauge pixel, in page pixels at the page's zoom, the picture starting at the origin.
    await picture.click({
      position: { x: (plan.press.x - originX + 0.5) * zoom, y: (plan.press.y - originY + 0.5) * zoom },
    });
    for (const text of plan.afterPress) await timelineHas(page, text);
    if (plan.drag) {
      await picture.click({
        position: { x: (plan.drag.x - originX + 0.5) * zoom, y: (plan.drag.y - originY + 0.5) * zoom },
      });
      for (const text of plan.afterDrag) await timelineHas(page, text);
      const gauge = await page.evaluate(async () => (await fetch('/api/gauge')).json());
      if (!Array.isArray(gauge.gauges) || gauge.gauges.length !== 4)
        fail(`/api/gauge lists ${JSON.stringify(gauge.gauges)}, expected the panel's four gauges`);
    }

    const row = page.locator(`#var-${plan.variable.id}`);
    const foundIn = await row.innerText().catch(() => '');
    if (!foundIn.includes(plan.variable.foundIn))
      fail(`variable ${plan.variable.id}'s row says "${foundIn}", expected it read by ${plan.variable.foundIn}`);
    await pictureCaughtUp(page);
    const versionBefore = await picture.getAttribute('data-version');
    const before = await picture.screenshot();
    await setVariable(page, plan.variable.id, plan.variable.value);
    for (const text of plan.afterVariable) await timelineHas(page, text);
    if (plan.pictureChanges) {
      await pictureCaughtUp(page);
      if ((await picture.getAttribute('data-version')) === versionBefore)
        fail('the picture was not redrawn after the text changed');
      const after = await picture.screenshot();
      if (before.equals(after)) fail('the picture looks the same after the text changed');
    }
    const shot = join(outputDir, `serve-${planName}.png`);
    await page.screenshot({ path: shot, fullPage: true });
    console.log(`serve_page_test: screenshot in ${shot}`);
    if (buttonStack) await clickIsPlayed(context);
    if (pageErrors.length) fail('the page reported errors');
  } finally {
    if (context) await context.close();
    rmSync(profile, { recursive: true, force: true });
    await stopServe(child);
  }
  console.log('serve_page_test: ok');
}

main().catch((error) => {
  if (!process.exitCode) console.error(`serve_page_test: ${error.stack || error}`);
  process.exitCode = 1;
});
