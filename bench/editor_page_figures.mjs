// Two figures of the editor page against `tavrena editor` in headless Chromium:
// - the idle cost: main-thread task time per second of wall time while the page polls
//   the idle plug-in (Chromium's own Performance.getMetrics "TaskDuration");
// - generate to notes: from the click on generate until the page holds the new
//   variant's notes (default phrase), over 20 generations.
//
//   node bench/editor_page_figures.mjs     (TAVRENA_TOOL overrides the tool's path)
import { rmSync } from 'node:fs';
import path from 'node:path';
import { launchBrowser, startEditor, stopEditor, tempFolder, sleep, tool } from '../tests/e2e/support.mjs';

const kIdleSeconds = 20;
const kGenerations = 20;

const folder = tempFolder('tavrena-page-figures-');
const editor = await startEditor(['--state', path.join(folder, 's.json')]);
const browser = await launchBrowser();
try {
  const page = await browser.context.newPage();
  await page.setViewportSize({ width: 1440, height: 960 });
  await page.goto(editor.url);
  await page.waitForSelector('body[data-ready="true"]');
  await sleep(1000);

  const cdp = await page.context().newCDPSession(page);
  await cdp.send('Performance.enable');
  const metric = async (name) =>
    (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === name).value;
  const busyBefore = await metric('TaskDuration');
  const scriptBefore = await metric('ScriptDuration');
  const started = Date.now();
  await sleep(kIdleSeconds * 1000);
  const seconds = (Date.now() - started) / 1000;
  const busy = (await metric('TaskDuration')) - busyBefore;
  const script = (await metric('ScriptDuration')) - scriptBefore;

  const times = [];
  for (let i = 0; i < kGenerations; ++i) {
    times.push(
      await page.evaluate(async () => {
        const page = window.TavrenaPage;
        // A fresh seed each time, so every run really generates new notes.
        const config = JSON.parse(JSON.stringify(page.state().config));
        config.seed = (config.seed + 1) % 1000;
        await page.commit(config);
        const start = performance.now();
        document.getElementById('generate').click();
        for (;;) {
          const state = page.state();
          if (state.variants[state.variation].length > 0) return performance.now() - start;
          await new Promise((resolve) => setTimeout(resolve, 1));
        }
      }),
    );
  }
  times.sort((a, b) => a - b);
  const at = (p) => times[Math.min(times.length - 1, Math.ceil((p / 100) * times.length) - 1)];

  console.log(`tavrena editor page figures: ${tool}`);
  console.log(
    `idle, ${seconds.toFixed(1)} s: main-thread tasks ${((busy / seconds) * 100).toFixed(2)} % of one core ` +
      `(script ${((script / seconds) * 100).toFixed(2)} %)`,
  );
  console.log(
    `generate to notes, ${kGenerations} runs: median ${at(50).toFixed(1)} ms, ` +
      `p90 ${at(90).toFixed(1)} ms, max ${times[times.length - 1].toFixed(1)} ms`,
  );
} finally {
  await browser.close();
  await stopEditor(editor);
  rmSync(folder, { recursive: true, force: true });
}
