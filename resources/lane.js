// The chord lane: the progression's entries as slots on the shared timeline, the chord
// tools (add, move, delete), and resizing by dragging a boundary between two entries on
// the snap grid. A part of the page (see the parts API in app.js).
(function (root) {
  'use strict';

  const { entriesOf, entryLength: lengthIn, entryMeasure } = root.TavrenaTimeline;

  let page = null;
  let selectedChord = 0;
  // The lane is rebuilt only when what it shows changes: a click that merely selects a
  // slot keeps its buttons, so a double click and the keyboard focus survive it.
  let laneSignature = '';
  let drag = null;

  const entries = () => entriesOf(page.state().config);
  const entryLength = (entry) => lengthIn(entry, page.state().config);

  function drawLane() {
    const list = entries();
    selectedChord = Math.min(selectedChord, Math.max(0, list.length - 1));
    const lane = page.$('progression');
    const { zoom, snapFraction } = page.view();
    const width = page.timelineWidth(page.$('roll').clientWidth);
    const signature = JSON.stringify([list, page.state().config.meter, zoom, snapFraction, width]);
    if (signature !== laneSignature) {
      laneSignature = signature;
      buildLane(lane, list, width);
    }
    for (const slot of lane.querySelectorAll('.slot')) {
      slot.classList.toggle('selected', Number(slot.dataset.index) === selectedChord);
    }
    page.$('move-left').disabled = selectedChord <= 0;
    page.$('move-right').disabled = selectedChord >= list.length - 1;
    page.$('delete-chord').disabled = list.length < 2;
  }

  // Measure lines with their numbers, and a line per snap step between them.
  function drawGrid(lane, width) {
    const { zoom, snapFraction } = page.view();
    const beatsPerLine = Math.round(1 / snapFraction);
    for (let i = 0; i <= Math.ceil(width / zoom); ++i) {
      const line = page.element('span', 'lane-line measure');
      line.style.left = `${i * zoom}px`;
      const number = page.element('span', 'lane-number', String(i + 1));
      number.style.left = `${i * zoom}px`;
      lane.append(line, number);
      for (let k = 1; k < beatsPerLine; ++k) {
        const beat = page.element('span', 'lane-line');
        beat.style.left = `${i * zoom + (k * zoom) / beatsPerLine}px`;
        lane.append(beat);
      }
    }
  }

  function slotButton(className, text, kind, title) {
    const button = page.element('button', className, text);
    button.type = 'button';
    button.dataset.kind = kind;
    button.title = title;
    return button;
  }

  function buildSlot(entry, index, count) {
    const slot = page.element('div', 'slot');
    slot.dataset.index = String(index);
    const text = String(entry.chord ?? '');
    const chord = slotButton('chord', text, 'chord', 'Двойной щелчок — выбрать аккорд');
    chord.addEventListener('click', () => {
      selectedChord = index;
      page.render();
    });
    chord.addEventListener('dblclick', () => page.openPicker('chord', index));
    chord.addEventListener('keydown', (event) => {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      page.openPicker('chord', index);
    });
    const remove = slotButton('remove', '×', 'remove', 'Удалить аккорд');
    remove.setAttribute('aria-label', `Удалить аккорд ${text}`);
    remove.disabled = count < 2;
    remove.addEventListener('click', () => deleteChord(index));
    const label = entry.scale ? page.MODE_LABELS[entry.scale] || entry.scale : 'Авто · лад';
    const mode = slotButton('mode', `${entry.scale_root || ''} ${label}`, 'mode',
      'Выбрать тонику и лад');
    mode.addEventListener('click', () => page.openPicker('mode', index));
    slot.append(chord, remove, mode);
    for (const side of index === 0 ? ['right'] : ['left', 'right']) {
      const handle = page.element('span', `handle ${side}`);
      handle.title = 'Потяните границу аккорда';
      handle.addEventListener('pointerdown',
        (event) => startBoundaryDrag(event, side === 'left' ? index - 1 : index));
      slot.append(handle);
    }
    return slot;
  }

  function buildLane(lane, list, width) {
    const active = document.activeElement;
    const focused = lane.contains(active) && active.closest('.slot')
      ? { index: active.closest('.slot').dataset.index, kind: active.dataset.kind }
      : null;
    lane.replaceChildren();
    lane.style.width = `${width}px`;
    drawGrid(lane, width);
    const ppb = page.pixelsPerBeat();
    let start = 0;
    list.forEach((entry, index) => {
      const length = entryLength(entry);
      const slot = buildSlot(entry, index, list.length);
      slot.style.left = `${start * ppb}px`;
      slot.style.width = `${length * ppb}px`;
      lane.append(slot);
      start += length;
    });
    if (focused) {
      const target = lane.querySelector(
        `.slot[data-index="${focused.index}"] [data-kind="${focused.kind}"]`);
      if (target && !target.disabled) target.focus();
    }
  }

  // ---- Chord commands ----

  function commitEntries(list, selection) {
    const config = page.copy(page.state().config);
    config.progression = list;
    page.commit(config).then(
      () => {},
      (error) => page.message(page.errorText(error)),
    );
    selectedChord = selection;
    page.render();
  }

  function addChord() {
    const list = entries();
    list.push({ chord: 'Am', bars: 1 });
    commitEntries(list, list.length - 1);
  }

  function moveChord(by) {
    page.closePicker();
    const list = entries();
    const target = selectedChord + by;
    if (target < 0 || target >= list.length) return;
    [list[selectedChord], list[target]] = [list[target], list[selectedChord]];
    commitEntries(list, target);
  }

  function deleteChord(index) {
    const list = entries();
    if (list.length < 2) return;
    page.closePicker();
    list.splice(index, 1);
    const selection = index < selectedChord ? selectedChord - 1 : selectedChord;
    commitEntries(list, Math.min(selection, list.length - 1));
  }

  // An entry merged with a patch; keys patched to undefined are removed.
  function updateEntry(index, patch) {
    const list = entries();
    if (index < 0 || index >= list.length) return Promise.reject(new Error('Аккорд не найден'));
    const merged = { ...list[index], ...patch };
    for (const key of Object.keys(merged)) if (merged[key] === undefined) delete merged[key];
    list[index] = merged;
    const config = page.copy(page.state().config);
    config.progression = list;
    return page.commit(config);
  }

  // ---- Boundary drag ----

  function startBoundaryDrag(event, boundary) {
    if (event.button !== 0 || drag) return;
    event.preventDefault();
    event.stopPropagation();
    page.closePicker();
    const config = page.state().config;
    const list = entries();
    const handle = event.currentTarget;
    const lengths = list.map(entryLength);
    drag = {
      boundary,
      list,
      lengths,
      // Where entry b starts: fixed for the drag, as only b and b + 1 change.
      start: lengths.slice(0, boundary).reduce((sum, length) => sum + length, 0),
      measures: list.map((entry) => entryMeasure(entry, config)),
      x0: event.clientX,
      scale: page.$('stage').getBoundingClientRect().width / 1440 || 1,
      slots: [...page.$('progression').querySelectorAll('.slot')],
      pointerId: event.pointerId,
      handle,
      change: 0,
    };
    page.setEditing(true);
    handle.setPointerCapture(event.pointerId);
    handle.addEventListener('pointermove', boundaryMove);
    handle.addEventListener('pointerup', boundaryUp);
    handle.addEventListener('pointercancel', cancelBoundaryDrag);
  }

  // The change of boundary b's position (in beats) for a pointer at x, on the snap grid
  // counted from the timeline's start and kept 1/32 measure away from the neighbours.
  function boundaryChange(d, x) {
    const b = d.boundary;
    const step = page.measureLength() * page.view().snapFraction;
    const b0 = d.start + d.lengths[b];
    const raw = b0 + (x - d.x0) / d.scale / page.pixelsPerBeat();
    const minimum = b0 - d.lengths[b] + d.measures[b] / 32;
    const maximum = b + 1 < d.lengths.length
      ? b0 + d.lengths[b + 1] - d.measures[b + 1] / 32
      : b0 - d.lengths[b] + 256 * d.measures[b];
    const first = Math.ceil((minimum - 1e-9) / step) * step;
    const last = Math.floor((maximum + 1e-9) / step) * step;
    if (first > last) return 0;
    return page.clamp(Math.round(raw / step) * step, first, last) - b0;
  }

  function boundaryMove(event) {
    const d = drag;
    if (!d) return;
    d.change = boundaryChange(d, event.clientX);
    // Only the two slots beside the boundary change: move them directly.
    const ppb = page.pixelsPerBeat();
    const b = d.boundary;
    const width = d.lengths[b] + d.change;
    d.slots[b].style.width = `${width * ppb}px`;
    if (d.slots[b + 1]) {
      d.slots[b + 1].style.left = `${(d.start + width) * ppb}px`;
      d.slots[b + 1].style.width = `${(d.lengths[b + 1] - d.change) * ppb}px`;
    }
  }

  function endBoundaryDrag() {
    const d = drag;
    drag = null;
    d.handle.removeEventListener('pointermove', boundaryMove);
    d.handle.removeEventListener('pointerup', boundaryUp);
    d.handle.removeEventListener('pointercancel', cancelBoundaryDrag);
    if (d.handle.hasPointerCapture(d.pointerId)) d.handle.releasePointerCapture(d.pointerId);
    page.setEditing(false);
    laneSignature = '';  // the slots were moved by hand
    return d;
  }

  function boundaryUp() {
    if (!drag) return;
    const d = endBoundaryDrag();
    // A click on a handle that moved nothing must not clear the generated variants.
    if (d.change !== 0) {
      const list = d.list;
      const b = d.boundary;
      list[b] = { ...list[b], bars: (d.lengths[b] + d.change) / d.measures[b] };
      if (b + 1 < list.length) {
        list[b + 1] = { ...list[b + 1], bars: (d.lengths[b + 1] - d.change) / d.measures[b + 1] };
      }
      const config = page.copy(page.state().config);
      config.progression = list;
      page.commit(config).catch((error) => page.message(page.errorText(error)));
    }
    page.render();
  }

  function cancelBoundaryDrag() {
    if (!drag) return;
    endBoundaryDrag();
    page.render();
  }

  function attach() {
    page.$('add-chord').addEventListener('click', addChord);
    page.$('move-left').addEventListener('click', () => moveChord(-1));
    page.$('move-right').addEventListener('click', () => moveChord(1));
    page.$('delete-chord').addEventListener('click', () => deleteChord(selectedChord));
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((api) => {
    page = api;
    page.provide({
      drawLane, entries, entryLength, updateEntry,
      selectChord: (index) => {
        selectedChord = index;
      },
    });
    return {
      attach,
      render() {
        if (!page.editing()) drawLane();
      },
      keydown(event) {
        if (event.key === 'Escape' && drag) cancelBoundaryDrag();
      },
    };
  });
})(window);
