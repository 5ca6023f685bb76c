// The header's and footer's commands: generate and cancel, play and stop, loop, the
// variant buttons, MIDI export and drag, opening and saving configuration files, a new
// phrase and the maker's link. A part of the page (see the parts API in app.js).
(function (root) {
  'use strict';

  const { initialState, isObject, MAX_IMPORT } = root.TavrenaConfig;

  let page = null;
  let dragOrigin = null;

  const fail = (error) => page.message(page.errorText(error));

  function randomSeed() {
    const value = new Uint32Array(1);
    root.crypto.getRandomValues(value);
    return value[0];
  }

  // With the random seed on, a fresh seed that differs from the current one.
  async function drawSeed() {
    const config = page.state().config;
    let seed = randomSeed();
    if (seed === config.seed) seed = (seed + 1) % 4294967296;
    await page.commit({ ...page.copy(config), seed });
  }

  async function generate() {
    if (!page.native) {
      page.message('Генерация доступна в VST3');
      return;
    }
    try {
      await page.writes();
    } catch (error) {
      fail(error);
      return;
    }
    try {
      if (page.busy()) {
        await root.tavrenaCancel();
        return;
      }
      if (page.state().randomSeed === true) await drawSeed();
      if ((await root.tavrenaGenerate()) === true) page.generationStarted();
    } catch (error) {
      fail(error);
    }
  }

  function play() {
    const start = page.native ? root.tavrenaPlayback(true) : Promise.resolve(true);
    page.setPreview(true);
    start.catch(fail);
  }

  function stop() {
    const end = page.native ? root.tavrenaPlayback(false) : Promise.resolve(true);
    page.setPreview(false);
    end.catch(fail);
  }

  function toggle(key) {
    const next = page.copy(page.state());
    next[key] = !(page.state()[key] === true);
    page.save(next).catch(fail);
  }

  function chooseVariant(index) {
    const next = page.copy(page.state());
    next.variation = index;
    page.save(next).catch(fail);
  }

  async function exportMidi() {
    if (!page.native) return;
    try {
      await page.writes();
      if ((await root.tavrenaExport()) === true) page.message('MIDI экспортирован');
    } catch (error) {
      fail(error);
    }
  }

  function hasNotes() {
    const state = page.state();
    const notes = Array.isArray(state.variants) ? state.variants[state.variation] : null;
    return Array.isArray(notes) && notes.length > 0;
  }

  function dragStart(event) {
    if (!page.native || !hasNotes() || event.button !== 0) return;
    dragOrigin = { x: event.screenX, y: event.screenY };
  }

  function dragMove(event) {
    if (!dragOrigin || event.buttons !== 1) return;
    const distance = Math.hypot(event.screenX - dragOrigin.x, event.screenY - dragOrigin.y);
    if (distance <= 5) return;
    dragOrigin = null;
    root.tavrenaDrag().catch(fail);
  }

  async function importFile(file) {
    try {
      if (file.size > MAX_IMPORT) throw new Error('JSON слишком большой');
      let text = await file.text();
      if (text.charCodeAt(0) === 0xfeff) text = text.slice(1);
      let config = JSON.parse(text);
      if (Array.isArray(config)) config = { progression: config };
      if (!isObject(config) || !Array.isArray(config.progression) ||
          config.progression.length === 0) {
        throw new Error('Нужна непустая progression');
      }
      await page.commit(config);
      page.message('Конфиг загружен');
    } catch (error) {
      fail(error);
    }
  }

  function exportConfig() {
    const text = JSON.stringify(page.state().config, null, 2);
    const address = URL.createObjectURL(new Blob([text], { type: 'application/json' }));
    const link = document.createElement('a');
    link.href = address;
    link.download = 'solo-config.json';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(address), 1000);
  }

  function phraseMenu() {
    const menu = page.$('new-project');
    const choice = menu.value;
    menu.value = 'current';
    if (choice === 'open') {
      page.$('config-file').click();
    } else if (choice === 'new') {
      if (root.confirm(page.tr('Начать новую фразу? Текущие настройки и варианты будут заменены.'))) {
        page.save(initialState()).catch(fail);
      }
    }
  }

  async function openBrand(event) {
    if (typeof root.tavrenaOpenBrand !== 'function') return;  // a normal link
    event.preventDefault();
    try {
      if ((await root.tavrenaOpenBrand()) !== true) page.message('Не удалось открыть сайт в браузере');
    } catch (error) {
      fail(error);
    }
  }

  function attach() {
    const $ = page.$;
    $('generate').addEventListener('click', generate);
    $('play').addEventListener('click', play);
    $('stop').addEventListener('click', stop);
    $('loop').addEventListener('click', () => toggle('loop'));
    for (const button of document.querySelectorAll('[data-variant]')) {
      button.addEventListener('click', () => chooseVariant(Number(button.dataset.variant)));
    }
    $('export').addEventListener('click', exportMidi);
    $('drag').addEventListener('pointerdown', dragStart);
    root.addEventListener('pointermove', dragMove);
    root.addEventListener('pointerup', () => { dragOrigin = null; });
    $('import-config').addEventListener('click', () => $('config-file').click());
    $('config-file').addEventListener('change', async () => {
      const input = $('config-file');
      const file = input.files && input.files[0];
      if (file) await importFile(file);
      input.value = '';
    });
    $('export-config').addEventListener('click', exportConfig);
    $('save-phrase').addEventListener('click', exportConfig);
    $('new-project').addEventListener('change', phraseMenu);
    $('brand-link').addEventListener('click', openBrand);
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((api) => {
    page = api;
    return { attach };
  });
})(window);
