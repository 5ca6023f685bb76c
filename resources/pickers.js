// The chord lane's two dialogs: the chord picker (circle of fifths, qualities, bass and
// the entry's local tempo and metre) and the mode picker (tonic and mode). A part of the
// page (see the parts API in app.js); it also loads in Node, where its pure helpers are
// tested.
(function (root) {
  'use strict';

  // ---- Note names, chords and modes: the engine's tables (schema.js) ----

  const SCHEMA = root.TavrenaSchema;
  const SHARP_NAMES = SCHEMA.notes.sharp;
  const FLAT_NAMES = SCHEMA.notes.flat;
  const ACCIDENTALS = SCHEMA.notes.accidentals;
  // letter -> pitch class, from the single-letter names
  const LETTERS = Object.fromEntries(SHARP_NAMES.map((name, pc) => [name, pc])
    .filter(([name]) => name.length === 1));

  // The qualities of the picker's grid (every spelling but the second ones), in the
  // engine's order, with their pitch-class offsets from the root.
  const QUALITIES = SCHEMA.chord_qualities.filter((q) => q.spelling_of === undefined)
    .map((q) => [q.name, q.intervals]);
  const INTERVALS = new Map(QUALITIES);
  // written spelling -> the quality the grid shows; other spellings stay as written. The
  // engine's second spellings, and M7, which the engine reads as maj7.
  const SPELLINGS = new Map([...SCHEMA.chord_qualities.filter((q) => q.spelling_of !== undefined)
    .map((q) => [q.name, q.spelling_of]), ['M7', 'maj7']]);

  // mode, pitch-class offsets from the tonic
  const MODES = new Map(SCHEMA.scales.map((scale) => [scale.name, scale.intervals]));

  // The first letter A to G in either case, then "#" or "b"; anything else reads as C.
  function pitchClass(text) {
    const s = typeof text === 'string' ? text : '';
    const letter = s.charAt(0).toUpperCase();
    if (!Object.prototype.hasOwnProperty.call(LETTERS, letter)) return 0;
    const accidental = Object.prototype.hasOwnProperty.call(ACCIDENTALS, s.charAt(1))
      ? ACCIDENTALS[s.charAt(1)] : 0;
    return (LETTERS[letter] + accidental + 12) % 12;
  }

  // Root as written (C when the text does not start with a note), the quality in the
  // grid's spelling where it has one, and the bass after "/" ('' without one).
  function parseChord(text) {
    const trimmed = (typeof text === 'string' ? text : '').trim();
    const match = /^([A-Ga-g][#b]?)?([^/]*)(?:\/([\s\S]*))?$/.exec(trimmed);
    const written = match[2].trim();
    return {
      root: match[1] || 'C',
      quality: SPELLINGS.has(written) ? SPELLINGS.get(written) : written,
      bass: (match[3] || '').trim(),
    };
  }

  function chordText(rootName, quality, bass) {
    return `${rootName}${quality}${bass ? `/${bass}` : ''}`;
  }

  // Pitch classes of the chord; a quality the table does not know sounds as a major triad.
  function chordTones(rootName, quality) {
    const base = pitchClass(rootName);
    const intervals = INTERVALS.get(quality) || INTERVALS.get('');
    return intervals.map((i) => (base + i) % 12);
  }

  // Pitch classes of a mode from a tonic pitch class; an unknown mode reads as ionian.
  function modeTones(tonic, scale) {
    const intervals = MODES.get(scale) || MODES.get('ionian');
    return intervals.map((i) => (tonic + i) % 12);
  }

  function noteNames(pitchClasses, flats) {
    const names = flats ? FLAT_NAMES : SHARP_NAMES;
    return pitchClasses.map((pc) => names[pc]);
  }

  // ---- The circle of fifths (SVG units, 360 x 360) ----

  const FIFTHS = [0, 7, 2, 9, 4, 11, 6, 1, 8, 3, 10, 5];
  const CENTRE = 180;
  const INNER = 112;
  const OUTER = 174;
  const LABEL = 143;
  const HALF_SPAN = 14;  // degrees each side of a segment's middle; 2 degrees gap between

  const round3 = (value) => Math.round(value * 1000) / 1000 + 0;  // + 0 turns -0 into 0

  // The point at radius r, degrees clockwise from the top.
  function polar(radius, degrees) {
    const angle = (degrees * Math.PI) / 180;
    return {
      x: round3(CENTRE + radius * Math.sin(angle)),
      y: round3(CENTRE - radius * Math.cos(angle)),
    };
  }

  // Ring segment k: the outer arc clockwise, then the inner arc back.
  function segmentPath(k) {
    const from = k * 30 - HALF_SPAN;
    const to = k * 30 + HALF_SPAN;
    const a = polar(OUTER, from);
    const b = polar(OUTER, to);
    const c = polar(INNER, to);
    const d = polar(INNER, from);
    return `M ${a.x} ${a.y} A ${OUTER} ${OUTER} 0 0 1 ${b.x} ${b.y} ` +
      `L ${c.x} ${c.y} A ${INNER} ${INNER} 0 0 0 ${d.x} ${d.y} Z`;
  }

  function labelPosition(k) {
    return polar(LABEL, k * 30);
  }

  const exported = {
    SHARP_NAMES, FLAT_NAMES, FIFTHS, QUALITY_ORDER: QUALITIES.map(([q]) => q),
    pitchClass, parseChord, chordText, chordTones, modeTones, noteNames, polar, segmentPath,
    labelPosition,
  };
  root.TavrenaChords = Object.freeze(exported);

  if (typeof document === 'undefined') return;

  // ---- Dialogs ----

  const SVG = 'http://www.w3.org/2000/svg';

  function svgElement(tag, attributes) {
    const node = document.createElementNS(SVG, tag);
    for (const [name, value] of Object.entries(attributes || {})) {
      node.setAttribute(name, String(value));
    }
    return node;
  }

  function pressed(button, on) {
    button.classList.toggle('active', on);
    button.setAttribute('aria-pressed', String(on));
  }

  function button(page, className, text, focusKey, action) {
    const node = page.element('button', className, text);
    node.type = 'button';
    node.dataset.focus = focusKey;
    node.addEventListener('click', action);
    return node;
  }

  // Starts the write; the dialog redraws from the page's state as soon as it is shown.
  function choose(page, index, patch) {
    page.updateEntry(index, patch).catch((error) => page.message(page.errorText(error)));
  }

  // The open state of the local settings survives redraws until the dialog closes; null
  // means "open when the entry has a local tempo or metre".
  let localOpen = null;
  // What a local field holds that is not stored, by focus key: {index (of the entry),
  // value, message (why it was refused, or '')}. A redraw after another write keeps it,
  // whether or not the field still has the focus; closing the dialog forgets it.
  const unsaved = new Map();

  function drawWheel(page, chord, write) {
    const rootPc = pitchClass(chord.root);
    const svg = svgElement('svg', {
      viewBox: '0 0 360 360', class: 'wheel', role: 'group',
    });
    FIFTHS.forEach((pc, k) => {
      const name = FLAT_NAMES[pc];
      const chosen = pc === rootPc;
      const segment = svgElement('g', {
        class: chosen ? 'wheel-segment chosen' : 'wheel-segment',
        tabindex: 0, role: 'button', 'aria-label': name, 'aria-pressed': chosen,
        'data-focus': `segment-${pc}`,
      });
      if (chosen) segment.setAttribute('data-autofocus', '');
      const at = labelPosition(k);
      const label = svgElement('text', { x: at.x, y: at.y, class: 'wheel-label' });
      label.textContent = name;
      segment.append(svgElement('path', { d: segmentPath(k) }), label);
      const activate = () => write(name, chord.quality, chord.bass);
      segment.addEventListener('click', activate);
      segment.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter' && event.key !== ' ') return;
        event.preventDefault();
        activate();
      });
      svg.append(segment);
    });
    return svg;
  }

  function drawCentre(page, entry, chord) {
    const wrap = page.element('div', 'wheel-centre');
    const text = String(entry.chord ?? '').trim();
    wrap.append(
      page.element('div', `wheel-chord${text.length > 7 ? ' long' : ''}`, text),
      page.element('div', 'wheel-tones',
        noteNames(chordTones(chord.root, chord.quality), true).join(' · ')),
    );
    return wrap;
  }

  // The local tempo and metre fields of entry index, with what they hold unsaved.
  function localInputs(page, index, entry) {
    const config = page.state().config;
    const bpm = page.element('input');
    bpm.type = 'number';
    const tempo = SCHEMA.item.fields.bpm;
    bpm.min = String(tempo.minimum);
    bpm.max = String(tempo.maximum);
    bpm.step = 'any';
    bpm.placeholder = String(config.bpm ?? SCHEMA.config.fields.bpm.default);
    bpm.value = entry.bpm === undefined ? '' : String(entry.bpm);
    bpm.dataset.focus = 'local-bpm';
    bpm.setAttribute('aria-label', 'BPM аккорда');

    const meter = page.element('input');
    meter.type = 'text';
    meter.placeholder = String(config.meter ?? SCHEMA.config.fields.meter.default);
    meter.value = entry.meter === undefined ? '' : String(entry.meter);
    meter.dataset.focus = 'local-meter';
    meter.setAttribute('aria-label', 'Размер аккорда');
    meter.spellcheck = false;

    // A redraw (another write came back) must not drop what a field holds unsaved.
    for (const input of [bpm, meter]) {
      const kept = unsaved.get(input.dataset.focus);
      if (kept && kept.index === index) {
        input.value = kept.value;
        if (kept.message) input.setCustomValidity(page.tr(kept.message));
      }
    }
    return { bpm, meter };
  }

  // A change checks the would-be configuration first, so that a refused value stays in
  // the field with its message and nothing is written; an empty field removes the key.
  function watchLocal(page, index, { bpm, meter }) {
    const refuse = (input, text) => {
      unsaved.set(input.dataset.focus, { index, value: input.value, message: text });
      input.setCustomValidity(page.tr(text));
      input.reportValidity();
    };
    const apply = (input, key, value) => {
      const list = page.entries();
      const merged = { ...list[index], [key]: value };
      if (value === undefined) delete merged[key];
      list[index] = merged;
      const next = page.copy(page.state().config);
      next.progression = list;
      try {
        page.validateConfig(next);
      } catch (error) {
        refuse(input, page.errorText(error));
        return;
      }
      unsaved.delete(input.dataset.focus);
      input.setCustomValidity('');
      choose(page, index, { [key]: value });
    };
    bpm.addEventListener('change', () => {
      // A number field reports text it cannot read as empty; that must not remove the key.
      if (bpm.validity.badInput) {
        refuse(bpm, 'Введите корректное число');
        return;
      }
      const text = bpm.value.trim();
      apply(bpm, 'bpm', text === '' ? undefined : Number(text));
    });
    meter.addEventListener('change', () => {
      const text = meter.value.trim();
      apply(meter, 'meter', text === '' ? undefined : text);
    });
    for (const input of [bpm, meter]) {
      input.addEventListener('input', () => {
        input.setCustomValidity('');
        unsaved.set(input.dataset.focus, { index, value: input.value, message: '' });
      });
    }
  }

  function drawLocal(page, index, entry) {
    const details = page.element('details', 'local-settings');
    details.open = localOpen === null ? entry.bpm !== undefined || entry.meter !== undefined
      : localOpen;
    details.addEventListener('toggle', () => {
      localOpen = details.open;
    });
    const summary = page.element('summary', '', 'Локальные настройки');
    summary.dataset.focus = 'local';
    details.append(summary);
    const fields = page.element('div', 'local-fields');
    const inputs = localInputs(page, index, entry);
    for (const [labelText, input] of [['BPM', inputs.bpm], ['Размер', inputs.meter]]) {
      const label = page.element('label', 'local-field');
      label.append(page.element('span', '', labelText), input);
      fields.append(label);
    }
    watchLocal(page, index, inputs);
    details.append(fields);
    return details;
  }

  function drawChordPicker(page, body, picker) {
    const index = picker.index;
    const entry = page.entries()[index];
    const chord = parseChord(entry.chord);
    const write = (rootName, quality, bass) =>
      choose(page, index, { chord: chordText(rootName, quality, bass) });

    const wheelSide = page.element('div', 'wheel-side');
    wheelSide.append(drawWheel(page, chord, write), drawCentre(page, entry, chord));

    const controls = page.element('div', 'chord-controls');
    const grid = page.element('div', 'quality-grid');
    for (const quality of QUALITIES.map(([q]) => q)) {
      const choice = button(page, 'quality', quality || 'Мажор', `quality-${quality}`,
        () => write(chord.root, quality, chord.bass));
      pressed(choice, quality === chord.quality);
      grid.append(choice);
    }

    const bassRow = page.element('label', 'bass-field');
    const select = page.element('select');
    select.dataset.focus = 'bass';
    select.setAttribute('aria-label', 'Бас аккорда');
    select.append(new Option('Без обращения', ''));
    for (const name of FLAT_NAMES) select.append(new Option(name, name));
    select.value = chord.bass ? FLAT_NAMES[pitchClass(chord.bass)] : '';
    select.addEventListener('change', () => write(chord.root, chord.quality, select.value));
    bassRow.append(page.element('span', '', 'Бас'), select);

    controls.append(grid, bassRow, drawLocal(page, index, entry),
      page.element('p', 'picker-hint', 'Выбор применяется сразу'));
    body.append(wheelSide, controls);
  }

  function drawModePicker(page, body, picker) {
    const index = picker.index;
    const entry = page.entries()[index];
    const names = picker.flats ? FLAT_NAMES : SHARP_NAMES;
    const hasRoot = typeof entry.scale_root === 'string' && entry.scale_root !== '';
    const hasScale = typeof entry.scale === 'string' && entry.scale !== '';

    const tonic = page.element('section', 'tonic-section');
    const head = page.element('div', 'picker-section-head');
    const flip = () => {
      picker.flats = !picker.flats;
      page.redrawPicker();
    };
    const spelling = button(page, 'spelling', picker.flats ? '♭ → ♯' : '♯ → ♭', 'spelling', flip);
    head.append(page.element('h3', '', 'Тоника'), spelling);
    const tonics = page.element('div', 'tonic-grid');
    const auto = button(page, 'tonic auto', 'Авто', 'tonic-auto',
      () => choose(page, index, { scale_root: undefined }));
    pressed(auto, !hasRoot);
    if (!hasRoot) auto.dataset.autofocus = '';
    tonics.append(auto);
    const rootPc = hasRoot ? pitchClass(entry.scale_root) : -1;
    names.forEach((name, pc) => {
      const choice = button(page, 'tonic', name, `tonic-${pc}`,
        () => choose(page, index, { scale_root: name }));
      pressed(choice, pc === rootPc);
      if (pc === rootPc) choice.dataset.autofocus = '';
      tonics.append(choice);
    });
    tonic.append(head, tonics);

    const from = hasRoot ? rootPc : pitchClass(parseChord(entry.chord).root);
    const readout = page.element('p', 'mode-readout', hasScale
      ? noteNames(modeTones(from, entry.scale), picker.flats).join(' · ')
      : 'Лад определяется генератором');

    const modes = page.element('div', 'mode-grid');
    const automatic = button(page, 'mode-choice', 'Автоматический лад', 'mode-auto', () =>
      choose(page, index, { scale: undefined }));
    pressed(automatic, !hasScale);
    modes.append(automatic);
    for (const scale of page.SCALES) {
      const choice = button(page, 'mode-choice', page.MODE_LABELS[scale] || scale,
        `mode-${scale}`, () => choose(page, index, { scale }));
      pressed(choice, scale === entry.scale);
      modes.append(choice);
    }
    body.append(tonic, readout, modes);
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((page) => ({
    attach() {
      page.definePicker('chord', {
        label: 'Выбор аккорда',
        title: 'Аккорд · кварто-квинтовый круг',
        draw: (body, picker) => drawChordPicker(page, body, picker),
        closed: () => {
          localOpen = null;
          unsaved.clear();
        },
      });
      page.definePicker('mode', {
        label: 'Выбор лада',
        title: 'Лад и тоника',
        draw: (body, picker) => drawModePicker(page, body, picker),
      });
    },
  }));
})(typeof window !== 'undefined' ? window : globalThis);
