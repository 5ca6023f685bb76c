// The editor page's core: the page's mirror of the plug-in's state, the queue that writes
// every edit, the 150 ms poll of the plug-in's snapshot, the animation frames, the tabs,
// and the parts API through which the page's other scripts (loaded before this one)
// join. Texts are Russian source texts; the translator (i18n.js) shows them in the
// chosen language.
(function (root) {
  'use strict';

  const { defaultConfig, initialState, validateConfig, isObject, SOLO_FIELDS, SOLO_ALIASES,
    SCALES, MODE_LABELS } = root.TavrenaConfig;
  const { measureOf, timelineOf, totalOf } = root.TavrenaTimeline;
  const exported = { defaultConfig, initialState, validateConfig };
  root.TavrenaPage = exported;

  const $ = (id) => document.getElementById(id);
  const tr = (text) => (root.I18n ? root.I18n.t(text) : text);

  const native = typeof root.tavrenaRead === 'function';
  let state = initialState();
  let revision = -1;
  let busy = false;
  let transport = {};
  let preview = false;
  let previewTime = 0;
  let lastFrame = 0;
  let editing = false;
  let writes = Promise.resolve();
  let saving = false;
  let writeSerial = 0;
  // The plug-in's status line as last shown. The plug-in always has a status, so
  // showing it on every poll would wipe the page's own messages (an export, a
  // refused edit) within 150 ms, before anyone could read them: it replaces them
  // only when it has changed.
  let pluginStatus = null;

  const copy = (value) => JSON.parse(JSON.stringify(value));
  const clamp = (value, low, high) => Math.min(high, Math.max(low, value));
  const shownNotes = () => {
    const variants = Array.isArray(state.variants) ? state.variants : [];
    const notes = variants[state.variation];
    return Array.isArray(notes) ? notes : [];
  };
  const timeline = () => timelineOf(state.config);
  const total = () => totalOf(state.config);
  const measureLength = () => {
    const { n, d } = measureOf(state.config.meter);
    return (n * 4) / d;
  };

  // Each element's source text as last written: writing the same text again would
  // still make the translator walk the whole document.
  const written = new WeakMap();
  function setText(element, text) {
    if (written.get(element) === text) return;
    written.set(element, text);
    element.textContent = text;
  }

  function element(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function message(text) {
    const status = $('status');
    written.delete(status);  // the same message again is shown again
    setText(status, String(text));
  }

  function errorText(error) {
    return error && error.message ? error.message : String(error);
  }

  // ---- State mirror and write queue ----

  // Every change of the state goes through here: shown at once, written in order.
  function save(next) {
    const serial = ++writeSerial;
    const previous = state;
    state = next;
    saving = true;
    render();
    writes = writes.catch(() => {}).then(async () => {
      try {
        if (native) {
          const accepted = await root.tavrenaWrite(next);
          if (accepted !== true) throw new Error('Некорректный конфиг: проверьте поля и диапазоны');
          const snapshot = await root.tavrenaRead();
          revision = snapshot.revision;
          if (snapshot.state && serial === writeSerial) state = snapshot.state;
        }
      } catch (error) {
        if (serial === writeSerial) state = previous;
        throw error;
      } finally {
        saving = serial !== writeSerial;
        render();
      }
    });
    return writes;
  }

  function commit(config) {
    try {
      validateConfig(config);
    } catch (error) {
      return Promise.reject(error);
    }
    const next = copy(state);
    next.config = config;
    next.variants = [[], [], []];
    return save(next);
  }

  // The plug-in started a generation: shown at once. The plug-in now says the same; a
  // quick job may end before the next poll, and its result must then still replace this
  // message even if it equals the last one.
  function generationStarted() {
    busy = true;
    pluginStatus = 'Генерация…';
    message('Генерация…');
    render();
  }

  function generateLabel() {
    return busy ? '■ Отменить' : '✦ Сгенерировать соло';
  }

  function render() {
    $('loop').classList.toggle('active', state.loop === true);
    $('loop').setAttribute('aria-pressed', String(state.loop === true));
    const sync = $('sync');
    if (sync) sync.setAttribute('aria-pressed', String(state.sync === true));
    for (const button of document.querySelectorAll('[data-variant]')) {
      const active = Number(button.dataset.variant) === state.variation;
      button.classList.toggle('active', active);
      button.setAttribute('aria-pressed', String(active));
    }
    setText($('generate'), generateLabel());
    const empty = shownNotes().length === 0;
    $('empty-roll').hidden = !empty;
    $('play').disabled = empty;
    $('export').disabled = empty;
    $('drag').disabled = empty;
    for (const part of parts) if (part.render) part.render();
  }

  // ---- Polling ----

  function formInFocus() {
    const form = $('config-form');
    return !!(form && form.contains(document.activeElement));
  }

  function showHostTempo() {
    const hostTempo = $('host-tempo');
    if (!hostTempo) return;
    const bpm = Number(transport.bpm) || 120;
    const line = state.sync === true && transport.hasPpq ? `DAW: ${bpm.toFixed(1)} BPM` : '';
    setText(hostTempo, line);
    hostTempo.hidden = line === '';
  }

  async function pollOnce() {
    try {
      const snapshot = revision === -1 ? await root.tavrenaRead() : await root.tavrenaRead(revision);
      if (!saving && !editing && !formInFocus() && snapshot.state) {
        state = snapshot.state;
        revision = snapshot.revision;
        render();
      }
      transport = snapshot.transport || {};
      busy = snapshot.busy === true;
      if (moving()) animate();
      if (typeof snapshot.status === 'string' && snapshot.status !== '' &&
          snapshot.status !== pluginStatus) {
        pluginStatus = snapshot.status;
        message(snapshot.status);
      }
      showHostTempo();
      setText($('generate'), generateLabel());
    } catch (error) {
      message(`Ошибка связи: ${errorText(error)}`);
    }
  }

  async function pollLoop() {
    await pollOnce();
    setTimeout(pollLoop, 150);
  }

  // ---- Playback position and frames ----

  // Frames run only while something moves (the preview, or the plug-in playing):
  // an idle page then costs nothing between polls. The last frame draws the stop.
  let framing = false;
  const playing = () => transport.playing === 1 || transport.playing === true;
  const moving = () => preview || playing();

  // The playhead's position in quarter notes, or null while nothing plays.
  function playhead() {
    if (native) return playing() || preview ? Number(transport.position) || 0 : null;
    return preview ? previewTime : null;
  }

  function frame(now) {
    if (!native && preview) {
      const bar = timeline().find((b) => previewTime >= b.start && previewTime < b.start + b.length);
      previewTime += ((now - (lastFrame || now)) / 1000) * ((bar && bar.bpm) || 120) / 60;
      if (previewTime >= total()) {
        if (state.loop === true) previewTime %= total();
        else preview = false;
      }
    }
    lastFrame = now;
    api.drawRoll();
    framing = moving();
    if (framing) root.requestAnimationFrame(frame);
  }

  function animate() {
    if (framing) return;
    framing = true;
    lastFrame = 0;
    root.requestAnimationFrame(frame);
  }

  // The user's play (true) or stop (false): the preview starts from the beginning.
  function setPreview(on) {
    preview = on;
    previewTime = 0;
    if (on) animate();
    else api.drawRoll();
  }

  // A window moved to a screen of another pixel density fires no resize: watch the
  // density itself, or the roll stays blurred until something else redraws it.
  function watchPixelRatio() {
    if (typeof root.matchMedia !== 'function') return;
    root.matchMedia(`(resolution: ${root.devicePixelRatio || 1}dppx)`)
      .addEventListener('change', () => {
        api.drawRoll();
        watchPixelRatio();
      }, { once: true });
  }

  function scaleStage() {
    const scale = Math.min(root.innerWidth / 1440, root.innerHeight / 960);
    $('stage').style.transform = `scale(${scale})`;
  }

  // ---- Tabs ----

  function selectTab(settings) {
    api.closePicker(false);
    $('main-tab').classList.toggle('active', !settings);
    $('settings').classList.toggle('active', settings);
    $('main-tab').setAttribute('aria-selected', String(!settings));
    $('settings').setAttribute('aria-selected', String(settings));
    $('main-tab').tabIndex = settings ? -1 : 0;
    $('settings').tabIndex = settings ? 0 : -1;
    $('main-page').hidden = settings;
    $('settings-page').hidden = !settings;
    (settings ? $('settings') : $('main-tab')).focus();
    if (!settings) api.drawRoll();
    if (settings) for (const part of parts) if (part.settingsShown) part.settingsShown();
  }

  function tabKeys(event) {
    const keys = { Home: false, End: true, ArrowLeft: null, ArrowRight: null };
    if (!(event.key in keys)) return;
    event.preventDefault();
    const settings = keys[event.key] === null ? $('main-page').hidden === false : keys[event.key];
    selectTab(settings);
  }

  // ---- The parts API ----
  //
  // Each of the page's other scripts is a part. It registers an install function:
  //   (root.TavrenaParts = root.TavrenaParts || []).push((page) => hooks);
  // Parts are installed once, in load order, before any handler is attached. install
  // receives `page` (below) and returns its hooks, all optional:
  //   attach()          once, after every part is installed: add listeners, define pickers
  //   render()          after every change, in load order (lane, roll, settings, dialogs)
  //   settingsShown()   the settings tab was opened
  //   language()        the interface language changed (a render follows)
  //   keydown(event)    a key went down anywhere on the page (Escape)
  // A part offers functions to the others with page.provide({ name: fn, ... }); they are
  // then called as page.name(...) once the parts are installed. Provided today:
  //   roll.js     drawRoll(), pixelsPerBeat(), timelineWidth(rollWidth), view() (zoom and
  //               snap), roll() (top pitch and zoom)
  //   lane.js     drawLane(), entries(), entryLength(entry), updateEntry(index, patch),
  //               selectChord(index)
  //   dialogs.js  definePicker(type, kind), openPicker(type, index), closePicker(restore),
  //               redrawPicker(), picker()
  // What the core itself offers:
  //   $(id), tr(text), element(tag, class, text), setText(element, text), message(text),
  //   errorText(error), copy(value), clamp(v, lo, hi), native;
  //   state(), save(next) and commit(config) (promises of the write), writes() (the
  //   queue's tail: awaiting it waits for every write so far), render(); busy() and
  //   generationStarted() (the plug-in's generation);
  //   editing() and setEditing(on) (a boundary drag is in progress: the poll and the lane
  //   leave the state alone), formInFocus(), transport(), playhead(), setPreview(on);
  //   timeline(), total(), measureLength(), measureOf(meter); the configuration's rules:
  //   validateConfig, isObject, SOLO_FIELDS, SOLO_ALIASES, SCALES, MODE_LABELS.
  const parts = [];
  const api = {
    $, tr, element, setText, message, errorText, copy, clamp, native,
    state: () => state, save, commit, render, writes: () => writes,
    busy: () => busy, generationStarted,
    editing: () => editing,
    setEditing: (on) => { editing = on; },
    formInFocus, transport: () => transport, playhead, setPreview,
    timeline, total, measureLength, measureOf,
    validateConfig, isObject, SOLO_FIELDS, SOLO_ALIASES, SCALES, MODE_LABELS,
    provide(functions) {
      for (const [name, fn] of Object.entries(functions)) {
        if (name in api) throw new Error(`The page already has ${name}`);
        api[name] = fn;
      }
    },
  };

  function installParts() {
    for (const install of root.TavrenaParts || []) parts.push(install(api) || {});
  }

  // ---- Start-up ----

  function attach() {
    $('main-tab').addEventListener('click', () => selectTab(false));
    $('settings').addEventListener('click', () => selectTab(true));
    $('main-tab').addEventListener('keydown', tabKeys);
    $('settings').addEventListener('keydown', tabKeys);
    $('language').addEventListener('change', () => {
      if (root.I18n) root.I18n.setLanguage($('language').value);
    });
    root.addEventListener('resize', () => {
      scaleStage();
      api.drawRoll();
    });
    root.addEventListener('tavrena-language', () => {
      for (const part of parts) if (part.language) part.language();
      render();
    });
    document.addEventListener('keydown', (event) => {
      for (const part of parts) if (part.keydown) part.keydown(event);
    });
    for (const part of parts) if (part.attach) part.attach();
  }

  function start() {
    installParts();
    if (root.I18n) $('language').value = root.I18n.language;
    attach();
    scaleStage();
    render();
    animate();
    watchPixelRatio();
    if (native) {
      pollLoop();
    } else {
      $('preview-badge').hidden = false;
      message('Макет интерфейса · генерация доступна в VST3');
    }
    document.body.dataset.ready = 'true';
  }

  Object.assign(exported, { save, commit, render, message, timeline, total,
    drawRoll: () => api.drawRoll(), state: () => state, previewTime: () => previewTime,
    roll: () => ({ ...api.roll(), ...api.view() }) });
  start();
})(window);
