// The live phone in a real browser: headless Chromium, driven by
// playwright-core, against a `handset live` this test starts on a free port.
// A call rung from the panel is answered on the screen; the lock shows in the
// screen image, swallows a tap on End, opens for the centre key pressed twice
// and closes again; the screen goes dark; the caller hangs up and the lock
// goes. The session saved as a scenario replays to the same timeline. Then
// 200 taps measure the time from a click to the changed screen in the page.
//
//   node browser_test.mjs HANDSET_COMMAND OUT_DIR
//
// playwright-core is looked for in $NPM_DIR (./run test installs it there);
// without it the test says so and is skipped (exit 77).
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import os from "node:os";
import { createRequire } from "node:module";

const [handset, outDir] = process.argv.slice(2);
const npmDir = process.env.NPM_DIR || "";
let chromium;
try {
  chromium = createRequire(path.join(npmDir, "node_modules") + "/")("playwright-core").chromium;
} catch {
  console.log(`playwright-core is not installed in ${npmDir}; ./run test installs it`);
  process.exit(77);
}

let passed = 0, failed = 0;
function check(ok, what, seen) {
  if (ok) passed++;
  else failed++;
  console.log(`${ok ? "ok  " : "FAIL"} ${what}${seen === undefined ? "" : ": " + JSON.stringify(seen)}`);
  return ok;
}

fs.rmSync(outDir, { recursive: true, force: true });
fs.mkdirSync(path.join(outDir, "shots"), { recursive: true });
const sessionDir = path.join(outDir, "session");

// ---- The phone, on a free port ---------------------------------------------------------
const phone = spawn(handset, ["live", "-o", sessionDir], { stdio: ["ignore", "pipe", "inherit"] });
let printed = "";
const address = await new Promise((resolve, reject) => {
  phone.stdout.on("data", (d) => {
    printed += d;
    const m = printed.match(/http:\/\/127\.0\.0\.1:\d+\//);
    if (m) resolve(m[0]);
  });
  phone.on("exit", (code) => reject(new Error(`handset live ended (${code}): ${printed}`)));
  setTimeout(() => reject(new Error("handset live printed no address: " + printed)), 20000);
});
const ended = new Promise((resolve) => phone.on("exit", (code) => resolve(code)));

// The phone goes with the test, however the test ends.
process.on("exit", () => { if (phone.exitCode === null) phone.kill("SIGKILL"); });

const context = await chromium.launchPersistentContext(
  fs.mkdtempSync(path.join(os.tmpdir(), "live-chromium-")), {
    executablePath: "/usr/bin/chromium",
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    viewport: { width: 1100, height: 800 },
    acceptDownloads: true,
  });
const page = context.pages()[0] || await context.newPage();
page.on("pageerror", (e) => check(false, "the page runs without errors", e.message));

async function shot(name) {
  const file = path.join(outDir, "shots", name + ".png");
  await page.screenshot({ path: file });
  console.log(`     screenshot ${file}`);
}
const state = () => page.evaluate(() => window.__live.state);
async function until(what, predicate, ms = 10000) {
  const end = Date.now() + ms;
  let seen;
  while (Date.now() < end) {
    seen = await state();
    if (seen && predicate(seen)) return check(true, what);
    await page.waitForTimeout(25);
  }
  return check(false, what, { seen, page: await page.locator("#message").textContent() });
}
// A pixel of the screen as the page drew it, as [r, g, b].
const pixel = (x, y) => page.evaluate(([x, y]) =>
  [...document.getElementById("screen").getContext("2d").getImageData(x, y, 1, 1).data.slice(0, 3)], [x, y]);
async function untilPixel(what, x, y, predicate, ms = 10000) {
  const end = Date.now() + ms;
  let seen;
  while (Date.now() < end) {
    seen = await pixel(x, y);
    if (predicate(seen)) return check(true, what);
    await page.waitForTimeout(25);
  }
  return check(false, what, seen);
}
// A tap on the screen at a point of the phone's own pixels.
async function tapScreen(x, y) {
  const box = await page.locator("#screen").boundingBox();
  await page.mouse.click(box.x + x + 0.5, box.y + y + 0.5);
}
const call = async () => (await state()).calls[0];
const panelCall = (kind) => page.click(`#calls button[data-kind="${kind}"]`);

// The Phone program's three buttons along the bottom of a 240x320 screen.
const answerButton = [43, 292], muteButton = [119, 292], endButton = [195, 292];
const endRed = [206, 32, 33]; // the End button's face, as a 5-6-5 screen shows it

try {
  await page.goto(address);
  await page.waitForFunction(() => window.__live.frames > 0 && window.__live.state);
  await shot("idle");

  // The phone rings from the panel and is answered on its screen.
  await page.fill("#number", "07700900123");
  await page.click("#ring");
  await until("the panel rings the phone", (s) => s.calls[0]?.state === "offering");
  await untilPixel("the Phone program shows the call with its End button", ...endButton,
                   (p) => p.join() === endRed.join());
  await shot("ringing");
  await tapScreen(...answerButton);
  await until("a tap on Answer connects the call", (s) => s.calls[0]?.state === "connected");
  await until("the lock is shown", (s) => s.lock === "shown");
  // The veil lightens the End button's red where the lock covers it.
  await untilPixel("the screen image shows the lock's veil over End", ...endButton,
                   (p) => p[0] > 215 && p[1] > 100 && p[2] > 100);
  await shot("locked");

  // The lock swallows a tap on End: the call stays connected.
  await tapScreen(...endButton);
  await page.waitForTimeout(500);
  check((await call()).state === "connected", "a tap on End under the lock leaves the call connected",
        await call());

  // The centre key twice opens the lock for a while: the Phone program shows.
  for (let i = 0; i < 2; ++i) {
    await page.click('[data-key="centre"]');
    await page.waitForTimeout(150);
  }
  await until("the centre key pressed twice hides the lock", (s) => s.lock === "hidden");
  await untilPixel("the Phone program shows under the open lock", ...endButton,
                   (p) => p.join() === endRed.join());
  await shot("unlocked");

  // It locks again by itself, and the screen goes dark (sooner at ten times).
  await page.click('[data-clock="fast"]');
  await until("the lock comes back", (s) => s.lock === "shown", 15000);
  await until("the backlight goes off", (s) => !s.lit, 15000);
  await untilPixel("the screen image is dark", ...endButton, (p) => p.join() === "0,0,0");
  await page.click('[data-clock="realtime"]');
  await shot("dark");

  // The caller hangs up: the lock goes.
  await panelCall("hangup");
  await until("the caller hanging up ends the call", (s) => s.calls.length === 0);
  await until("the lock goes with the call", (s) => s.lock === "none");
  await until("the backlight is on again", (s) => s.lit);

  // Save as scenario: the script replays to the same timeline.
  const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save")]);
  const script = path.join(outDir, "saved.scenario");
  await download.saveAs(script);
  const text = fs.readFileSync(script, "utf8");
  check(text.includes("gsm call 07700900123") && text.includes("tap 43,292") &&
        text.includes("press centre") && text.includes("gsm cancel 07700900123"),
        "the saved scenario holds the panel's calls, the taps and the keys", text);
  const replay = spawnSync(handset, ["run", "-o", path.join(outDir, "replay"), script],
                           { encoding: "utf8" });
  check(replay.status === 0, "handset run replays the saved scenario", replay.stdout + replay.stderr);
  const live = fs.readFileSync(path.join(sessionDir, "session-1.timeline.jsonl"), "utf8");
  const again = fs.readFileSync(path.join(outDir, "replay", "240x320", "timeline.jsonl"), "utf8");
  const diverge = live.split("\n").findIndex((l, i) => l !== again.split("\n")[i]);
  check(live === again && live.length > 0, "the replay's timeline is the live session's",
        diverge < 0 ? undefined : { line: diverge + 1, live: live.split("\n")[diverge],
                                    replay: again.split("\n")[diverge] });

  // From a click to the changed screen, 200 times: a ringing call's Mute
  // button shows pressed while the stylus is down and released after.
  await page.click("#ring");
  await until("the phone rings again", (s) => s.calls[0]?.state === "offering");
  await untilPixel("the Phone program is in front", ...endButton, (p) => p.join() === endRed.join());
  const box = await page.locator("#screen").boundingBox();
  await page.evaluate(() => { window.__live.latencies = []; });
  const inputsSettled = (n) => page.waitForFunction((n) => window.__live.latencies.length >= n, n,
                                                    { timeout: 5000 });
  for (let i = 0; i < 200; ++i) {
    await page.mouse.move(box.x + muteButton[0] + 0.5, box.y + muteButton[1] + 0.5);
    await page.mouse.down();
    await inputsSettled(2 * i + 1);
    await page.mouse.up();
    await inputsSettled(2 * i + 2);
    await page.waitForTimeout(20);
  }
  const latencies = await page.evaluate(() => window.__live.latencies);
  const percentile = (list, p) => {
    const sorted = list.map((l) => l.ms).sort((a, b) => a - b);
    return sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * p) - 1)];
  };
  const ups = latencies.filter((l) => l.what === "up"), downs = latencies.filter((l) => l.what === "down");
  const p95 = percentile(ups, 0.95);
  console.log(`     latency, click to changed screen over ${ups.length} taps: ` +
              `median ${percentile(ups, 0.5).toFixed(1)} ms, p95 ${p95.toFixed(1)} ms, ` +
              `max ${percentile(ups, 1).toFixed(1)} ms; stylus down to pressed look: p95 ` +
              `${percentile(downs, 0.95).toFixed(1)} ms`);
  check(ups.length === 200 && p95 < 100, "the screen changes within 100 ms of a click (p95)", p95);

  // The page's Stop ends the phone and writes its timeline.
  await page.click("#stop");
  await page.waitForSelector("#off.shown", { timeout: 10000 });
  check(await ended === 0, "handset live ends after Stop");
  check(fs.existsSync(path.join(sessionDir, "timeline.jsonl")), "the session's timeline is written");
} catch (e) {
  check(false, "the flow runs to its end", e.stack);
} finally {
  await context.close();
  if (phone.exitCode === null) phone.kill("SIGINT");
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
