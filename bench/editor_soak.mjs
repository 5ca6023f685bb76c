// Soak of `tavrena editor`'s browser bridge: 10,000 calls from a page in Chromium,
// as the editor page makes them (reads with the last revision, a state written every
// 10th call) while the preview plays. Prints the round trips measured in the page and
// the editor's resident memory along the way.
//
//   node bench/editor_soak.mjs            (TAVRENA_TOOL overrides the tool's path)
//
// Needs tests/e2e/node_modules (scripts/setup.sh) and /usr/bin/chromium.
import { readFileSync, rmSync } from 'node:fs';
import path from 'node:path';
import {
  bridgePage,
  call,
  launchBrowser,
  openPage,
  startEditor,
  stopEditor,
  tempFolder,
  tool,
  waitFor,
} from '../tests/e2e/support.mjs';

const kCalls = 10000;
const kSamplesAt = [1000, 5000, 10000];

function residentKiB(pid) {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  const match = /^VmRSS:\s+(\d+) kB$/m.exec(status);
  return match ? Number(match[1]) : NaN;
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

function summary(label, times) {
  const sorted = [...times].sort((a, b) => a - b);
  const ms = (value) => value.toFixed(3).padStart(8);
  return (
    `${label.padEnd(16)} n=${String(sorted.length).padStart(5)}  median ${ms(percentile(sorted, 50))}` +
    `  p90 ${ms(percentile(sorted, 90))}  p99 ${ms(percentile(sorted, 99))}  max ${ms(sorted[sorted.length - 1])} ms`
  );
}

// Runs calls [from, to) in the page, one after another as the page's poll does, and
// returns each call's round trip in ms and whether it was a write.
function runCalls(page, from, to) {
  return page.evaluate(
    async ([from, to]) => {
      const soak = (window.soak ??= { revision: null, state: null });
      if (!soak.state) {
        const snapshot = await window.tavrenaRead();
        soak.revision = snapshot.revision;
        soak.state = snapshot.state;
      }
      const times = [];
      const writes = [];
      for (let i = from; i < to; ++i) {
        const write = i % 10 === 9;
        // Each write changes the tempo, so the controller applies and saves a new state.
        const state = write
          ? { ...soak.state, config: { ...soak.state.config, bpm: 100 + (Math.floor(i / 10) % 40) } }
          : null;
        const start = performance.now();
        const result = write ? await window.tavrenaWrite(state) : await window.tavrenaRead(soak.revision);
        times.push(performance.now() - start);
        writes.push(write);
        if (write && result !== true) throw new Error(`write ${i} refused`);
        if (!write) {
          soak.revision = result.revision;
          if (result.state) soak.state = result.state;
        }
      }
      return { times, writes };
    },
    [from, to],
  );
}

async function main() {
  const folder = tempFolder('tavrena-soak-');
  let editor;
  let browser;
  try {
    editor = await startEditor([
      '--state',
      path.join(folder, 's.json'),
      '--export-dir',
      folder,
      '--resources',
      bridgePage,
    ]);
    browser = await launchBrowser();
    const { page, log } = await openPage(browser, editor);
    page.setDefaultTimeout(600000);

    // A generated solo, so that the preview has notes to play and reads carry them.
    if ((await call(page, 'tavrenaGenerate')).value !== true) throw new Error('generation refused');
    const done = await waitFor(
      'the solo',
      async () => {
        const { value } = await call(page, 'tavrenaRead');
        return value.busy ? null : value;
      },
      30000,
      50,
    );
    const notes = done.state.variants[done.state.variation].length;
    if ((await call(page, 'tavrenaPlayback', true)).value !== true) throw new Error('preview refused');

    console.log(`tavrena editor soak: ${tool}`);
    console.log(`${kCalls} calls, a write every 10th, preview playing a solo of ${notes} notes`);
    console.log(`resident memory at start: ${residentKiB(editor.child.pid)} KiB`);
    const all = [];
    const reads = [];
    const writes = [];
    let from = 0;
    const started = performance.now();
    for (const at of kSamplesAt) {
      const chunk = await runCalls(page, from, at);
      chunk.times.forEach((time, i) => {
        all.push(time);
        (chunk.writes[i] ? writes : reads).push(time);
      });
      from = at;
      console.log(`resident memory after ${String(at).padStart(5)} calls: ${residentKiB(editor.child.pid)} KiB`);
    }
    const seconds = (performance.now() - started) / 1000;
    // The scheduler's position moves only while the preview plays.
    const position = async () => (await call(page, 'tavrenaRead')).value.transport.position;
    const before = await position();
    await new Promise((resolve) => setTimeout(resolve, 200));
    const playing = (await position()) !== before;
    console.log(summary('all calls', all));
    console.log(summary('tavrenaRead', reads));
    console.log(summary('tavrenaWrite', writes));
    console.log(`${(kCalls / seconds).toFixed(0)} calls/s; preview still playing: ${playing}`);
    if (log.errors.length) console.log(`page errors: ${log.errors.join('; ')}`);
  } finally {
    await browser?.close();
    await stopEditor(editor).catch(() => {});
    rmSync(folder, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
