// The settings tab: the project controls, the solo settings in three cards, the
// preferences and the instrument picker. A part of the page (see the parts API in
// app.js); it also loads in Node, where its pure helpers are tested.
(function (root) {
  'use strict';

  // ---- Tables ----

  // Names, bounds and defaults are the engine's (schema.js, through the page's config).
  const { SCHEMA, SOLO_FIELDS, DENOMINATORS } = root.TavrenaConfig;
  const CONFIG = SCHEMA.config.fields;
  const SHARP_NAMES = SCHEMA.notes.sharp;
  const FLAT_NAMES = SCHEMA.notes.flat;
  // The roots offered: every sharp name, each followed by its flat spelling where it has one.
  const KEY_ROOTS = SHARP_NAMES.flatMap((name, pc) =>
    (FLAT_NAMES[pc] === name ? [name] : [name, FLAT_NAMES[pc]]));
  const BAR_CHOICES = [1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64];
  const soloField = (key) => SOLO_FIELDS.find((f) => f.key === key);
  const LOWEST_NOTE = soloField('low_note').min;
  const HIGHEST_NOTE = soloField('high_note').max;

  // General MIDI Level 1 melodic programs; program number = index.
  const GM_PROGRAMS = [
    'Acoustic Grand Piano', 'Bright Acoustic Piano', 'Electric Grand Piano', 'Honky-tonk Piano',
    'Electric Piano 1', 'Electric Piano 2', 'Harpsichord', 'Clavi',
    'Celesta', 'Glockenspiel', 'Music Box', 'Vibraphone',
    'Marimba', 'Xylophone', 'Tubular Bells', 'Dulcimer',
    'Drawbar Organ', 'Percussive Organ', 'Rock Organ', 'Church Organ',
    'Reed Organ', 'Accordion', 'Harmonica', 'Tango Accordion',
    'Acoustic Guitar (nylon)', 'Acoustic Guitar (steel)', 'Electric Guitar (jazz)',
    'Electric Guitar (clean)', 'Electric Guitar (muted)', 'Overdriven Guitar',
    'Distortion Guitar', 'Guitar harmonics',
    'Acoustic Bass', 'Electric Bass (finger)', 'Electric Bass (pick)', 'Fretless Bass',
    'Slap Bass 1', 'Slap Bass 2', 'Synth Bass 1', 'Synth Bass 2',
    'Violin', 'Viola', 'Cello', 'Contrabass',
    'Tremolo Strings', 'Pizzicato Strings', 'Orchestral Harp', 'Timpani',
    'String Ensemble 1', 'String Ensemble 2', 'SynthStrings 1', 'SynthStrings 2',
    'Choir Aahs', 'Voice Oohs', 'Synth Voice', 'Orchestra Hit',
    'Trumpet', 'Trombone', 'Tuba', 'Muted Trumpet',
    'French Horn', 'Brass Section', 'SynthBrass 1', 'SynthBrass 2',
    'Soprano Sax', 'Alto Sax', 'Tenor Sax', 'Baritone Sax',
    'Oboe', 'English Horn', 'Bassoon', 'Clarinet',
    'Piccolo', 'Flute', 'Recorder', 'Pan Flute',
    'Blown Bottle', 'Shakuhachi', 'Whistle', 'Ocarina',
    'Lead 1 (square)', 'Lead 2 (sawtooth)', 'Lead 3 (calliope)', 'Lead 4 (chiff)',
    'Lead 5 (charang)', 'Lead 6 (voice)', 'Lead 7 (fifths)', 'Lead 8 (bass + lead)',
    'Pad 1 (new age)', 'Pad 2 (warm)', 'Pad 3 (polysynth)', 'Pad 4 (choir)',
    'Pad 5 (bowed)', 'Pad 6 (metallic)', 'Pad 7 (halo)', 'Pad 8 (sweep)',
    'FX 1 (rain)', 'FX 2 (soundtrack)', 'FX 3 (crystal)', 'FX 4 (atmosphere)',
    'FX 5 (brightness)', 'FX 6 (goblins)', 'FX 7 (echoes)', 'FX 8 (sci-fi)',
    'Sitar', 'Banjo', 'Shamisen', 'Koto',
    'Kalimba', 'Bag pipe', 'Fiddle', 'Shanai',
    'Tinkle Bell', 'Agogo', 'Steel Drums', 'Woodblock',
    'Taiko Drum', 'Melodic Tom', 'Synth Drum', 'Reverse Cymbal',
    'Guitar Fret Noise', 'Breath Noise', 'Seashore', 'Bird Tweet',
    'Telephone Ring', 'Helicopter', 'Applause', 'Gunshot',
  ];

  // The standard's 16 families of 8 programs each, in program order.
  const GM_FAMILIES = ['Фортепиано', 'Хроматическая перкуссия', 'Органы', 'Гитары', 'Басы',
    'Струнные', 'Ансамбли', 'Медные духовые', 'Язычковые духовые', 'Флейты',
    'Синтезаторные лиды', 'Синтезаторные пэды', 'Синтезаторные эффекты', 'Этнические',
    'Ударные', 'Звуковые эффекты'];

  const MESSAGES = {
    badNumber: 'Введите корректное число',
    emptyNumber: 'Заполните числовое поле',
  };

  // ---- Pure helpers (tested in Node) ----

  // Russian plural of "bar"; every fraction takes the general plural.
  function barWord(n) {
    if (!Number.isInteger(n)) return 'тактов';
    if (n % 10 === 1 && n % 100 !== 11) return 'такт';
    if ([2, 3, 4].includes(n % 10) && ![12, 13, 14].includes(n % 100)) return 'такта';
    return 'тактов';
  }

  const barsText = (n) => `${n} ${barWord(n)}`;

  function noteName(midi) {
    return `${SHARP_NAMES[midi % 12]}${Math.floor(midi / 12) - 1}`;
  }

  const familyOf = (program) => Math.floor(program / 8);

  function programName(program) {
    return Number.isInteger(program) && GM_PROGRAMS[program] !== undefined ?
      GM_PROGRAMS[program] : String(program);
  }

  // Every "N/D" the project's metre select offers, numerator outermost.
  function meterChoices() {
    const list = [];
    for (let n = 1; n <= 32; ++n) for (const d of DENOMINATORS) list.push(`${n}/${d}`);
    return list;
  }

  // What the generator assumes without a key and scale: the first chord's root, minor
  // when its quality starts with m, min or minor (but not maj).
  function autoKeyMode(chord) {
    const text = typeof chord === 'string' ? chord.trim() : '';
    const match = /^[A-Ga-g][#b]?/.exec(text);
    const rootName = match ? match[0] : 'C';
    const rest = match ? text.slice(match[0].length) : '';
    return { root: rootName, scale: /^m(?!aj)/.test(rest) ? 'minor' : 'major' };
  }

  // The progression's length in measures of the configuration's metre, to 3 decimals.
  function progressionBars(total, measureLength) {
    return Number((total / measureLength).toFixed(3));
  }

  // Every entry's "bars" (default 1) times factor; text entries become objects.
  function scaleProgression(progression, factor) {
    return progression.map((item) => {
      const entry = typeof item === 'string' ? { chord: item } : { ...item };
      entry.bars = (typeof entry.bars === 'number' ? entry.bars : 1) * factor;
      return entry;
    });
  }

  // A solo field's value as the configuration holds it: under its key, else under an
  // alias of it, else the default.
  function soloValue(solo, field, aliases) {
    const given = solo !== null && typeof solo === 'object' && !Array.isArray(solo) ? solo : {};
    if (Object.prototype.hasOwnProperty.call(given, field.key)) return given[field.key];
    for (const [alias, key] of Object.entries(aliases)) {
      if (key === field.key && Object.prototype.hasOwnProperty.call(given, alias)) {
        return given[alias];
      }
    }
    return field.def;
  }

  const percentText = (value) => `${Math.round(Number(value) * 100)}%`;

  // JSON text with object keys sorted: the plug-in stores keys in byte order, so a
  // plain comparison would see every form edit as a change.
  function canonicalJson(value) {
    if (Array.isArray(value)) return `[${value.map(canonicalJson).join(',')}]`;
    if (value !== null && typeof value === 'object') {
      const keys = Object.keys(value).filter((key) => value[key] !== undefined).sort();
      return `{${keys.map((key) => `${JSON.stringify(key)}:${canonicalJson(value[key])}`)
        .join(',')}}`;
    }
    return JSON.stringify(value);
  }

  // The configuration the form describes. readings: one per control, in form order:
  // {key, group ('global' or 'solo'), kind ('number', 'text', 'select', 'switch'),
  // value (text), checked, bad (the browser could not read the number)}. Throws the
  // first problem's Russian message; validate is the page's own configuration check.
  function configFromForm(config, readings, validate) {
    for (const reading of readings) {
      if (reading.kind !== 'number') continue;
      const text = String(reading.value).trim();
      if (reading.bad || (text !== '' && !Number.isFinite(Number(text)))) {
        throw new Error(MESSAGES.badNumber);
      }
      if (text === '' && reading.group === 'solo') throw new Error(MESSAGES.emptyNumber);
    }
    const next = JSON.parse(JSON.stringify(config));
    next.solo = {};
    for (const reading of readings) {
      const text = String(reading.value);
      if (reading.group === 'global') {
        // Only a field left empty falls back; blanks in the file name are refused.
        if ((reading.kind === 'number' ? text.trim() : text) === '') {
          if (reading.key === 'seed') next.seed = null;
          else delete next[reading.key];
        } else {
          next[reading.key] = reading.kind === 'number' ? Number(text) : text;
        }
      } else {
        next.solo[reading.key] = reading.kind === 'switch' ? reading.checked === true :
          Number(text);
      }
    }
    validate(next);
    return next;
  }

  const helpers = { SHARP_NAMES, KEY_ROOTS, BAR_CHOICES, GM_PROGRAMS, GM_FAMILIES, barWord,
    barsText, noteName, familyOf, programName, meterChoices, autoKeyMode, progressionBars,
    scaleProgression, soloValue, percentText, canonicalJson, configFromForm };
  root.TavrenaSettings = helpers;

  // ---- The page part ----

  let page = null;
  let drawnSignature = null;
  let openFamilies = new Set();
  const $ = (id) => page.$(id);
  const tr = (text) => page.tr(text);
  const element = (tag, className, text) => page.element(tag, className, text);
  const copy = (value) => page.copy(value);

  const config = () => page.state().config;
  // Keys sorted: the plug-in's answer to an edit holds the same configuration with its
  // keys in another order, which must not redraw the form.
  const signature = () => canonicalJson([config(), page.state().randomSeed === true]);
  const settingsVisible = () => !$('settings-page').hidden;
  const currentProgram = () => {
    const field = soloField('program');
    const value = soloValue(config().solo, field, page.SOLO_ALIASES);
    return typeof value === 'number' ? value : field.def;
  };

  // Shows value in select, adding an entry (marked extra) when no fixed one has it.
  function showValue(select, value, text) {
    const extra = select.querySelector('option.extra');
    const fixed = [...select.options].some((o) => !o.classList.contains('extra') &&
      o.value === value);
    if (fixed) {
      if (extra) extra.remove();
    } else if (!extra || extra.value !== value) {
      const option = element('option', 'extra', text);
      option.value = value;
      if (extra) extra.replaceWith(option);
      else select.append(option);
    }
    if (select.value !== value) select.value = value;
  }

  function fillOptions(select, list) {
    for (const [value, text] of list) {
      const option = element('option', '', text);
      option.value = value;
      select.append(option);
    }
  }

  function fillProjectLists() {
    fillOptions($('header-meter'), meterChoices().map((m) => [m, m]));
    fillOptions($('header-key'), [['', 'Авто'], ...KEY_ROOTS.map((k) => [k, k])]);
    fillOptions($('header-mode'), [['', 'Авто'],
      ...page.SCALES.map((s) => [s, page.MODE_LABELS[s] || s])]);
    fillOptions($('header-bars'), BAR_CHOICES.map((b) => [String(b), barsText(b)]));
  }

  // ---- Project controls ----

  function renderHeader() {
    const c = config();
    const bpm = $('header-bpm');
    if (document.activeElement !== bpm) {
      const value = String(typeof c.bpm === 'number' ? c.bpm : CONFIG.bpm.default);
      if (bpm.value !== value) bpm.value = value;
    }
    const meter = typeof c.meter === 'string' ? c.meter : CONFIG.meter.default;
    showValue($('header-meter'), meter, meter);

    const first = page.entries()[0];
    const auto = autoKeyMode(first ? first.chord : '');
    const key = $('header-key');
    const mode = $('header-mode');
    page.setText(key.options[0], `${tr('Авто')} · ${auto.root}`);
    page.setText(mode.options[0], `${tr('Авто')} · ${tr(page.MODE_LABELS[auto.scale])}`);
    const keyValue = typeof c.key === 'string' ? c.key : '';
    showValue(key, keyValue, keyValue);
    const scale = typeof c.scale === 'string' ? c.scale : '';
    showValue(mode, scale, page.MODE_LABELS[scale] || scale);

    const bars = progressionBars(page.total(), page.measureLength());
    showValue($('header-bars'), String(bars), barsText(bars));
    $('sync').setAttribute('aria-pressed', String(page.state().sync === true));
  }

  // A project control's edit: the configuration with change applied, committed; a
  // refusal goes to the status line and the controls show the state again.
  function commitProject(change) {
    const next = copy(config());
    change(next);
    page.commit(next).catch((error) => {
      page.message(page.errorText(error));
      renderHeader();
    });
  }

  function bpmInput() {
    const input = $('header-bpm');
    if (input.value === '' || !input.validity.valid) return;
    const bpm = Number(input.value);
    if (bpm === (typeof config().bpm === 'number' ? config().bpm : CONFIG.bpm.default)) return;
    commitProject((c) => { c.bpm = bpm; });
  }

  function optionalChoice(key, value) {
    commitProject((c) => {
      if (value === '') delete c[key];
      else c[key] = value;
    });
  }

  function barsChoice() {
    const chosen = Number($('header-bars').value);
    const current = progressionBars(page.total(), page.measureLength());
    if (!(chosen > 0) || !(current > 0) || chosen === current) return;
    commitProject((c) => {
      c.progression = scaleProgression(page.entries(), chosen / current);
    });
  }

  function toggleSync() {
    const next = copy(page.state());
    next.sync = !(page.state().sync === true);
    page.save(next).catch((error) => page.message(page.errorText(error)));
  }

  // ---- The form ----

  function field(labelText, control, className) {
    const label = element('label', `field ${className || ''}`.trim());
    label.append(element('span', 'field-label', labelText), control);
    return label;
  }

  function numberInput(id, min, max, step, value) {
    const input = element('input', 'number-input');
    input.type = 'number';
    input.id = id;
    input.min = String(min);
    input.max = String(max);
    input.step = String(step);
    input.value = value === null || value === undefined ? '' : String(value);
    return input;
  }

  function switchInput(id, checked) {
    const input = element('input', 'switch');
    input.type = 'checkbox';
    input.id = id;
    input.checked = checked;
    input.setAttribute('role', 'switch');
    return input;
  }

  function mark(control, group, key, kind) {
    control.dataset.group = group;
    control.dataset.key = key;
    control.dataset.kind = kind;
    return control;
  }

  function drawPreferences(c) {
    const box = $('global-fields');
    const harmony = element('select');
    harmony.id = 'setting-harmony';
    fillOptions(harmony, [['chord_modes', 'По аккордам'], ['global', 'Глобальная']]);
    harmony.value = CONFIG.harmony.values.includes(c.harmony) ? c.harmony : CONFIG.harmony.default;
    box.append(field('Гармония', mark(harmony, 'global', 'harmony', 'select')));

    const repeats = numberInput('setting-repeats', CONFIG.repeats.minimum, CONFIG.repeats.maximum,
      1, typeof c.repeats === 'number' ? c.repeats : CONFIG.repeats.default);
    box.append(field('Повторов прогрессии', mark(repeats, 'global', 'repeats', 'number')));

    const seed = numberInput('setting-seed', CONFIG.seed.minimum, CONFIG.seed.maximum, 1,
      typeof c.seed === 'number' ? c.seed : null);
    seed.classList.add('wide');
    seed.disabled = page.state().randomSeed === true;
    box.append(field('Seed (пусто = 0)', mark(seed, 'global', 'seed', 'number')));

    const output = element('input', 'text-input');
    output.type = 'text';
    output.id = 'setting-output';
    output.value = typeof c.output === 'string' ? c.output : CONFIG.output.default;
    output.spellcheck = false;
    box.append(field('Имя MIDI при экспорте', mark(output, 'global', 'output', 'text')));

    const random = switchInput('random-seed', page.state().randomSeed === true);
    box.append(field('Случайный seed', random, 'switch-field'));
  }

  function noteSelect(fieldRow, value) {
    const select = element('select', 'note-select');
    select.id = `setting-${fieldRow.key}`;
    select.setAttribute('aria-label', fieldRow.label);
    const notes = [];
    for (let n = LOWEST_NOTE; n <= HIGHEST_NOTE; ++n) notes.push([String(n), noteName(n)]);
    fillOptions(select, notes);
    select.value = String(value);
    return mark(select, 'solo', fieldRow.key, 'select');
  }

  function slider(fieldRow, value) {
    const input = element('input', 'slider');
    input.type = 'range';
    input.id = `setting-${fieldRow.key}`;
    input.min = String(fieldRow.min);
    input.max = String(fieldRow.max);
    input.step = String(fieldRow.step);
    input.value = String(value);
    const readout = element('output', 'readout', percentText(input.value));
    readout.id = `readout-${fieldRow.key}`;
    readout.htmlFor = input.id;
    const row = field(fieldRow.label, mark(input, 'solo', fieldRow.key, 'slider'),
      'slider-field');
    row.append(readout);
    return row;
  }

  function drawCards(c) {
    const solo = c.solo;
    const value = (key) => soloValue(solo, page.SOLO_FIELDS.find((f) => f.key === key),
      page.SOLO_ALIASES);
    const fieldOf = (key) => page.SOLO_FIELDS.find((f) => f.key === key);

    const range = element('div', 'field note-range');
    range.append(element('span', 'field-label', 'Диапазон нот'));
    const pair = element('span', 'note-pair');
    pair.append(noteSelect(fieldOf('low_note'), value('low_note')),
      element('span', 'dash', '–'), noteSelect(fieldOf('high_note'), value('high_note')));
    range.append(pair);
    $('melody-fields').append(range);

    const skipped = ['low_note', 'high_note', 'program', 'bends', 'slides'];
    for (const f of page.SOLO_FIELDS) {
      if (skipped.includes(f.key)) continue;
      const box = $(`${f.card}-fields`);
      if (f.control === 'slider') {
        box.append(slider(f, value(f.key)));
      } else {
        const input = numberInput(`setting-${f.key}`, f.min, f.max, f.step, value(f.key));
        box.append(field(f.label, mark(input, 'solo', f.key, 'number')));
      }
    }

    const performance = $('performance-fields');
    const switches = element('div', 'switch-row');
    for (const key of ['bends', 'slides']) {
      const input = mark(switchInput(`setting-${key}`, value(key) === true), 'solo', key,
        'switch');
      switches.append(field(fieldOf(key).label, input, 'switch-field'));
    }
    performance.append(switches);

    const program = value('program');
    const row = element('div', 'field program-row');
    row.append(element('span', 'field-label', 'Инструмент GM'));
    const hidden = element('input');
    hidden.type = 'hidden';
    hidden.id = 'program-value';
    hidden.value = String(program);
    mark(hidden, 'solo', 'program', 'hidden');
    const button = programButton();
    page.setText(button, programName(program));
    const open = page.picker();
    button.setAttribute('aria-expanded', String(!!open && open.type === 'program'));
    row.append(hidden, button);
    performance.append(row);
  }

  // One button for the form's lifetime: the picker returns the focus to the element
  // that opened it, which a redraw of the form while the dialog is open must not
  // replace.
  let instrumentButton = null;
  function programButton() {
    if (instrumentButton) return instrumentButton;
    instrumentButton = element('button', 'program-button');
    instrumentButton.type = 'button';
    instrumentButton.id = 'program-button';
    instrumentButton.title = 'GM программа (0–127)';
    instrumentButton.setAttribute('aria-haspopup', 'dialog');
    instrumentButton.addEventListener('click', openInstruments);
    return instrumentButton;
  }

  // Draws the form from the state. A control that had the focus (the form redraws
  // under it only when asked to, e.g. after an instrument is chosen) keeps it.
  function renderSettings() {
    const active = document.activeElement;
    const focusId = $('config-form').contains(active) ? active.id : '';
    for (const id of ['melody-fields', 'rhythm-fields', 'performance-fields', 'global-fields']) {
      $(id).replaceChildren();
    }
    page.setText($('config-error'), '');
    const c = config();
    drawPreferences(c);
    drawCards(c);
    drawnSignature = signature();
    if (focusId && $(focusId)) $(focusId).focus();
  }

  function readings() {
    const list = [];
    for (const control of $('config-form').querySelectorAll('[data-key]')) {
      const { group, key, kind } = control.dataset;
      list.push({ group, key, kind: kind === 'slider' || kind === 'hidden' ? 'select' : kind,
        value: control.value, checked: control.checked,
        bad: !!(control.validity && control.validity.badInput) });
    }
    return list;
  }

  // Builds and commits the form's configuration; false when the form holds an
  // invalid value (its message stays in the error line until corrected).
  function applyForm() {
    let next;
    try {
      next = configFromForm(config(), readings(), page.validateConfig);
    } catch (error) {
      page.setText($('config-error'), page.errorText(error));
      return false;
    }
    page.setText($('config-error'), '');
    if (canonicalJson(next) !== canonicalJson(config())) {
      page.commit(next).catch((error) => page.setText($('config-error'), page.errorText(error)));
    }
    return true;
  }

  function saveRandomSeed(on) {
    const seed = $('setting-seed');
    if (seed) seed.disabled = on;
    const next = copy(page.state());
    next.randomSeed = on;
    page.save(next).catch((error) => page.setText($('config-error'), page.errorText(error)));
  }

  function formInput(event) {
    const target = event.target;
    if (target.id === 'language') return;
    if (target.id === 'random-seed') {
      saveRandomSeed(target.checked);
      return;
    }
    if (target.type === 'range') {
      const readout = $(`readout-${target.dataset.key}`);
      if (readout) readout.textContent = percentText(target.value);
    }
    applyForm();
  }

  function formChange(event) {
    if (event.target.id === 'language' || event.target.id === 'random-seed') return;
    applyForm();
  }

  // The form is drawn again only when the user is not in it and the state differs
  // from what it was drawn from.
  function refreshSettings() {
    if (settingsVisible() && !page.formInFocus() && signature() !== drawnSignature) {
      renderSettings();
    }
  }

  // ---- Instrument picker ----

  function openInstruments() {
    openFamilies = new Set([familyOf(currentProgram())]);
    page.openPicker('program', currentProgram());
  }

  function chooseProgram(program) {
    const hidden = $('program-value');
    if (!hidden) return;
    hidden.value = String(program);
    if (applyForm()) {
      page.closePicker();
      renderSettings();
      $('program-button').focus();
    } else {
      hidden.value = String(currentProgram());
    }
  }

  function drawInstruments(body) {
    const current = currentProgram();
    programButton().setAttribute('aria-expanded', 'true');
    const list = element('div', 'instrument-families');
    let chosen = null;
    GM_FAMILIES.forEach((family, f) => {
      const group = element('details', 'instrument-family');
      group.open = openFamilies.has(f);
      const summary = element('summary', 'family-name', family);
      summary.dataset.focus = `family-${f}`;
      group.append(summary);
      group.addEventListener('toggle', () => {
        if (group.open) openFamilies.add(f);
        else openFamilies.delete(f);
      });
      const grid = element('div', 'instrument-grid');
      for (let p = f * 8; p < f * 8 + 8; ++p) {
        const choice = element('button', 'instrument');
        choice.type = 'button';
        choice.dataset.program = String(p);
        choice.dataset.focus = `program-${p}`;
        choice.append(element('span', 'program-number', String(p)),
          element('span', 'program-name', GM_PROGRAMS[p]));
        if (p === current) {
          choice.classList.add('active');
          choice.setAttribute('aria-pressed', 'true');
          choice.dataset.autofocus = 'true';
          chosen = choice;
        }
        choice.addEventListener('click', () => chooseProgram(p));
        grid.append(choice);
      }
      group.append(grid);
      list.append(group);
    });
    body.append(list);
    if (chosen) {
      // The dialog joins the document after this returns.
      setTimeout(() => {
        if (chosen.isConnected) chosen.scrollIntoView({ block: 'nearest' });
      }, 0);
    }
  }

  function instrumentsClosed() {
    programButton().setAttribute('aria-expanded', 'false');
  }

  function attach() {
    const tempo = root.TavrenaConfig.SCHEMA.config.fields.bpm;
    $('header-bpm').min = String(tempo.minimum);
    $('header-bpm').max = String(tempo.maximum);
    fillProjectLists();
    $('header-bpm').addEventListener('input', bpmInput);
    $('header-bpm').addEventListener('change', renderHeader);
    $('header-bpm').addEventListener('blur', renderHeader);
    $('header-meter').addEventListener('change', () => {
      const value = $('header-meter').value;
      commitProject((c) => { c.meter = value; });
    });
    $('header-key').addEventListener('change', () => optionalChoice('key',
      $('header-key').value));
    $('header-mode').addEventListener('change', () => optionalChoice('scale',
      $('header-mode').value));
    $('header-bars').addEventListener('change', barsChoice);
    $('sync').addEventListener('click', toggleSync);
    const form = $('config-form');
    form.addEventListener('input', formInput);
    form.addEventListener('change', formChange);
    // Leaving the form shows what the state became meanwhile (the plug-in's answer
    // to the last edit, or another writer's change adopted with it).
    form.addEventListener('focusout', (event) => {
      if (form.contains(event.relatedTarget)) return;
      setTimeout(refreshSettings, 0);
    });
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      applyForm();
    });
    page.definePicker('program', { label: 'Инструмент GM', title: 'Инструмент GM',
      draw: drawInstruments, closed: instrumentsClosed });
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((api) => {
    page = api;
    return {
      attach,
      render() {
        renderHeader();
        refreshSettings();
      },
      settingsShown() {
        renderSettings();
        $('settings-page').scrollTop = 0;
      },
    };
  });
})(typeof window !== 'undefined' ? window : globalThis);
