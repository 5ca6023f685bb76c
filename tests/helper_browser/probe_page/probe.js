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
  for (let i = 0; i < 300; ++i) {
    const start = performance.now();
    await window.tavrenaRead(revision);
    times.push(performance.now() - start);
  }
  times.sort((a, b) => a - b);
  state.config.output = `probe-${times[150].toFixed(3)}-${times[296].toFixed(3)}.mid`;
  const accepted = await window.tavrenaWrite(state);
  document.body.textContent = accepted ? 'written' : 'refused';
})();
