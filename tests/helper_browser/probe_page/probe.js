// Test page for the embedded editor, not the product page. It reads the plug-in's state and
// writes it straight back marked "probe-ready" (the test host times the editor's start by
// that write reaching the processor), then times 300 reads through the bridge and writes the
// figures into the export name, where the test host finds them in the processor's state.
'use strict';

(async function probe() {
  const snapshot = await window.tavrenaRead();
  const state = snapshot.state;
  state.config.output = 'probe-ready.mid';
  await window.tavrenaWrite(state);
  // Polls as the product page does: with the last revision, so an unchanged state is not sent.
  const { revision } = await window.tavrenaRead();
  const times = [];
  const first = performance.now();
  for (let i = 0; i < 300; ++i) {
    const start = performance.now();
    await window.tavrenaRead(revision);
    times.push(performance.now() - start);
  }
  // The browser's clock may tick in whole milliseconds: the mean over all 300 is finer.
  const mean = (performance.now() - first) / 300;
  times.sort((a, b) => a - b);
  state.config.output =
    `probe-${mean.toFixed(3)}-${times[150].toFixed(3)}-${times[296].toFixed(3)}.mid`;
  const accepted = await window.tavrenaWrite(state);
  document.body.textContent = accepted ? 'written' : 'refused';
})();
