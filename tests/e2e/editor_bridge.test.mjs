// `tavrena editor` driven from Chromium: the eight script functions reach the real
// controller and processor through the loopback bridge, replies find their own
// promises, foreign requests are refused, and the state file survives stopping and
// refusing.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { existsSync, readFileSync, readdirSync, rmSync, writeFileSync, chmodSync } from 'node:fs';
import path from 'node:path';
import {
  bridgePage,
  call,
  launchBrowser,
  openPage,
  readJson,
  runTool,
  sleep,
  startEditor,
  stopEditor,
  tempFolder,
  waitFor,
} from './support.mjs';

const kInvalid = 'Invalid native request';

// The state in the page, changed where the controller must notice: a new tempo (the
// top-level "bpm" is derived from it again), another selected variant holding one note.
function changedState(state, bpm) {
  const variants = [[], [{ start: 0, length: 1, pitch: 61, velocity: 100 }], []];
  return { ...state, config: { ...state.config, bpm }, variation: 1, variants };
}

// Microseconds per quarter note of the first tempo event (FF 51 03 tt tt tt).
function midiTempo(bytes) {
  for (let i = 0; i + 5 < bytes.length; ++i) {
    if (bytes[i] === 0xff && bytes[i + 1] === 0x51 && bytes[i + 2] === 0x03)
      return (bytes[i + 3] << 16) | (bytes[i + 4] << 8) | bytes[i + 5];
  }
  return undefined;
}

function request(port, { method = 'GET', target, headers = {} }) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port, method, path: target, headers }, (res) => {
      res.resume();
      res.on('end', () => resolve(res.statusCode));
    });
    req.on('error', reject);
    req.setTimeout(5000, () => req.destroy(new Error('request timed out')));
    req.end(method === 'POST' ? '{"id":1,"method":"tavrenaCancel","params":[]}' : undefined);
  });
}

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
});

describe('the eight functions through the page', () => {
  let folder;
  let statePath;
  let opened;
  let editor;
  let page;
  let log;

  before(async () => {
    folder = tempFolder('tavrena-e2e-');
    statePath = path.join(folder, 's.json');
    opened = path.join(folder, 'opened.txt');
    const browserScript = path.join(folder, 'browser.sh');
    writeFileSync(browserScript, `#!/bin/sh\nprintf '%s\\n' "$1" >> '${opened}'\n`);
    chmodSync(browserScript, 0o755);
    editor = await startEditor(
      ['--state', statePath, '--export-dir', folder, '--resources', bridgePage],
      { env: { BROWSER: browserScript } },
    );
    ({ page, log } = await openPage(browser, editor));
  });

  after(async () => {
    await page?.close().catch(() => {});
    await stopEditor(editor).catch(() => {});
    if (folder) rmSync(folder, { recursive: true, force: true });
  });

  it('tavrenaRead returns the snapshot, without the state the page already has', async () => {
    const { value: first } = await call(page, 'tavrenaRead');
    assert.deepEqual(Object.keys(first).sort(), ['busy', 'revision', 'state', 'status', 'transport']);
    assert.equal(first.busy, false);
    assert.equal(first.state.version, 2);
    assert.equal(first.state.variants.length, 3);
    assert.equal(typeof first.transport.playing, 'number');

    const { value: same } = await call(page, 'tavrenaRead', first.revision);
    assert.equal(same.revision, first.revision);
    assert.equal('state' in same, false);
    for (const other of [null, undefined, first.revision + 1, String(first.revision)]) {
      const { value } = await call(page, 'tavrenaRead', other);
      assert.ok('state' in value, `state missing for ${JSON.stringify(other)}`);
    }
  });

  it('tavrenaWrite makes a state current, readable and saved; refuses the rest', async () => {
    const { value: before } = await call(page, 'tavrenaRead');
    assert.deepEqual(await call(page, 'tavrenaWrite'), { value: false });
    assert.deepEqual(await call(page, 'tavrenaWrite', { version: 2, variants: 'none' }), {
      value: false,
    });
    const { value: untouched } = await call(page, 'tavrenaRead', before.revision);
    assert.equal(untouched.revision, before.revision);

    assert.deepEqual(await call(page, 'tavrenaWrite', changedState(before.state, 96)), {
      value: true,
    });
    const { value: after } = await call(page, 'tavrenaRead', before.revision);
    assert.ok(after.revision > before.revision);
    assert.equal(after.state.config.bpm, 96);
    assert.equal(after.state.bpm, 96);
    assert.equal(after.state.variation, 1);
    assert.deepEqual(after.state.variants[1], [{ start: 0, length: 1, pitch: 61, velocity: 100 }]);

    const saved = await waitFor('the state file to hold the written state', () => {
      try {
        const state = readJson(statePath);
        return state.config.bpm === 96 ? state : null;
      } catch {
        return null;
      }
    });
    assert.deepEqual(saved, after.state);
  });

  it('tavrenaGenerate from a click starts one job; polling collects the solo', async () => {
    const { value: before } = await call(page, 'tavrenaRead');
    await page.click('#generate');
    await page.waitForFunction(() => document.getElementById('result').textContent !== '');
    assert.equal(await page.textContent('#result'), 'resolved: true');
    // The job is held until a read collects it, however fast it runs.
    assert.deepEqual(await call(page, 'tavrenaGenerate'), { value: false });

    const done = await waitFor(
      'the generation to be collected',
      async () => {
        const { value } = await call(page, 'tavrenaRead');
        return value.busy ? null : value;
      },
      15000,
      50,
    );
    assert.equal(done.status, 'Соло сгенерировано');
    assert.ok(done.revision > before.revision);
    const notes = done.state.variants[done.state.variation];
    assert.ok(notes.length > 0);
    assert.notDeepEqual(notes, before.state.variants[before.state.variation]);
  });

  it('tavrenaCancel, tavrenaExport and tavrenaDrag answer as the browser host can', async () => {
    assert.deepEqual(await call(page, 'tavrenaCancel'), { value: true });

    assert.deepEqual(await call(page, 'tavrenaExport'), { value: true });
    assert.deepEqual(await call(page, 'tavrenaExport'), { value: true });
    const written = readdirSync(folder).filter((name) => name.endsWith('.mid')).sort();
    assert.deepEqual(written, ['solo (2).mid', 'solo.mid']);
    for (const name of written) {
      const bytes = readFileSync(path.join(folder, name));
      assert.equal(bytes.subarray(0, 4).toString('latin1'), 'MThd');
      assert.equal(midiTempo(bytes), 625000); // 96 quarter notes a minute
    }

    assert.deepEqual(await call(page, 'tavrenaDrag'), { value: false });
  });

  it('tavrenaPlayback takes only a boolean and runs the preview', async () => {
    // The scheduler's position moves only while the preview plays.
    const position = async () => (await call(page, 'tavrenaRead')).value.transport.position;
    const moves = async () => {
      const first = await position();
      await sleep(300);
      return (await position()) !== first;
    };
    assert.equal(await moves(), false);
    assert.deepEqual(await call(page, 'tavrenaPlayback', true), { value: true });
    assert.deepEqual(await call(page, 'tavrenaPlayback', 'yes'), { reason: kInvalid });
    assert.deepEqual(await call(page, 'tavrenaPlayback'), { value: false });
    assert.equal(await moves(), true);
    assert.deepEqual(await call(page, 'tavrenaPlayback', false), { value: true });
    await sleep(100); // the audio thread takes the switch at its next block
    assert.equal(await moves(), false);
  });

  it('tavrenaOpenBrand from a click hands an https address to $BROWSER', async () => {
    await page.click('#brand');
    await page.waitForFunction(() => document.getElementById('result').textContent !== '');
    assert.equal(await page.textContent('#result'), 'resolved: true');
    const lines = await waitFor('the browser script to run', () =>
      existsSync(opened) ? readFileSync(opened, 'utf8').trim().split('\n') : null,
    );
    assert.equal(lines.length, 1);
    assert.match(lines[0], /^https:\/\/[^\s/]+\.[a-z]+\//);
  });

  it('calls made back to back are settled each with its own result', async () => {
    const outcomes = await page.evaluate(async () => {
      const { revision } = await window.tavrenaRead();
      // Three kinds interleaved: the current revision (no state), another revision
      // (state), and an argument the native side refuses (rejected).
      const calls = [];
      for (let i = 0; i < 60; ++i) {
        const kind = i % 3;
        const promise =
          kind === 0
            ? window.tavrenaRead(revision)
            : kind === 1
              ? window.tavrenaRead(revision + 1 + i)
              : window.tavrenaPlayback(i);
        calls.push(
          promise.then(
            (value) => ({ kind, hasState: 'state' in value, revision: value.revision }),
            (reason) => ({ kind, reason }),
          ),
        );
      }
      const settled = await Promise.all(calls);
      const left = Object.keys(window._rpc).filter((key) => key !== 'nextSeq');
      return { revision, settled, left };
    });
    assert.equal(outcomes.settled.length, 60);
    outcomes.settled.forEach((outcome, i) => {
      if (outcome.kind === 2) {
        assert.deepEqual(outcome, { kind: 2, reason: kInvalid }, `call ${i}`);
      } else {
        assert.equal(outcome.hasState, outcome.kind === 1, `call ${i}`);
        assert.equal(outcome.revision, outcomes.revision, `call ${i}`);
      }
    });
    assert.deepEqual(outcomes.left, []);
  });

  it('a call comes back in milliseconds, not after a delayed acknowledgement', async () => {
    // Small writes held back for the peer's delayed ACK cost ~40 ms a call; the soak
    // (bench/editor_soak.mjs) measures the real figures.
    const times = await page.evaluate(async () => {
      const times = [];
      for (let i = 0; i < 40; ++i) {
        const start = performance.now();
        await window.tavrenaRead(0);
        times.push(performance.now() - start);
      }
      return times.sort((a, b) => a - b);
    });
    assert.ok(times[20] < 25, `median ${times[20]} ms`);
  });

  it('refuses requests with a wrong token, Host or Origin', async () => {
    const token = new URL(editor.url).pathname.split('/')[1];
    const host = `127.0.0.1:${editor.port}`;
    assert.equal(await request(editor.port, { target: `/${token}/index.html` }), 200);
    assert.equal(await request(editor.port, { target: `/${'0'.repeat(token.length)}/index.html` }), 404);
    assert.equal(await request(editor.port, { target: '/index.html' }), 404);
    assert.equal(
      await request(editor.port, { target: `/${token}/index.html`, headers: { Host: `localhost:${editor.port}` } }),
      403,
    );
    assert.equal(
      await request(editor.port, {
        method: 'POST',
        target: `/${token}/_bridge/1/invoke?n=1000`,
        headers: { Host: host, Origin: 'http://evil.example' },
      }),
      403,
    );
  });

  it('the page runs under its policy without violations or errors', async () => {
    const violations = await page.evaluate(() => window.fixtureViolations);
    assert.deepEqual(violations, []);
    assert.deepEqual(log.errors, []);
    const refused = log.console.filter((line) => /Content.Security.Policy|Refused to/i.test(line));
    assert.deepEqual(refused, []);
  });
});

describe('the state file', () => {
  let folder;
  let editor;
  let page;

  before(() => {
    folder = tempFolder('tavrena-e2e-state-');
  });
  after(async () => {
    await page?.close().catch(() => {});
    await stopEditor(editor, 'SIGKILL').catch(() => {});
    rmSync(folder, { recursive: true, force: true });
  });

  it('keeps a state written through the page when the editor is interrupted', async () => {
    const statePath = path.join(folder, 's.json');
    editor = await startEditor(['--state', statePath, '--export-dir', folder, '--resources', bridgePage]);
    ({ page } = await openPage(browser, editor));
    const { value: snapshot } = await call(page, 'tavrenaRead');
    assert.deepEqual(await call(page, 'tavrenaWrite', changedState(snapshot.state, 150)), { value: true });

    // With the page still open and its connections idle, as when the user presses Ctrl-C.
    const stopping = Date.now();
    const { code, signal } = await stopEditor(editor, 'SIGINT');
    assert.deepEqual({ code, signal }, { code: 0, signal: null });
    assert.ok(Date.now() - stopping < 2500, `stopping took ${Date.now() - stopping} ms`);

    const midi = path.join(folder, 'x.mid');
    const exported = await runTool(['export', statePath, '-o', midi]);
    assert.equal(exported.code, 0, exported.stderr);
    const bytes = readFileSync(midi);
    assert.equal(midiTempo(bytes), 400000); // 150 quarter notes a minute
    // The one note of the selected variant: a note-on of pitch 61 somewhere in the solo.
    const noteOn = bytes.findIndex((b, i) => (b & 0xf0) === 0x90 && bytes[i + 1] === 61 && bytes[i + 2] > 0);
    assert.ok(noteOn > 0);
  });

  it('refuses a damaged state file and leaves it as it was', async () => {
    const damaged = path.join(folder, 'damaged.json');
    const bytes = Buffer.from('{"version": 2, "config": {"bpm": 120,\n');
    writeFileSync(damaged, bytes);
    const result = await runTool(['editor', '--state', damaged, '--export-dir', folder], 5000);
    assert.equal(result.code, 1, result.stderr);
    assert.match(result.stderr, /damaged\.json/);
    assert.equal(result.stdout, '');
    assert.deepEqual(readFileSync(damaged), bytes);
  });
});
