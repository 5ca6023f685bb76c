// The piano roll: the shown variant's notes, their velocities, the grid and the playhead
// on a canvas, scrolled and zoomed by the wheel; and the timeline view it shares with the
// chord lane (pixels per measure, snap, the common horizontal scroll). A part of the page
// (see the parts API in app.js).
(function (root) {
  'use strict';

  const GUTTER = 52;
  const VELOCITY_LANE = 64;
  // The black keys: the pitch classes whose sharp name carries an accidental.
  const BLACK_KEYS = root.TavrenaSchema.notes.sharp
    .flatMap((name, pc) => (name.length > 1 ? [pc] : []));

  let page = null;
  let zoom = 160;            // pixels per measure of the configuration's metre
  let snapFraction = 0.25;   // of a measure
  let rollTopPitch = 88;
  let rollZoom = 100;        // percent
  let wheelRemainder = 0;

  const pixelsPerBeat = () => zoom / page.measureLength();

  function timelineWidth(rollWidth) {
    return Math.max(rollWidth - GUTTER, 1280,
      (Math.ceil(page.total() / page.measureLength()) + 1) * zoom);
  }

  function rollGeometry() {
    const canvas = page.$('roll');
    const width = canvas.clientWidth;
    const height = canvas.clientHeight;
    const rowHeight = (12 * rollZoom) / 100;
    const rows = page.clamp(Math.floor((height - VELOCITY_LANE) / rowHeight), 1, 128);
    return { canvas, width, height, rowHeight, rows, visible: Math.max(1, width - GUTTER) };
  }

  function shownNotes() {
    const state = page.state();
    const variants = Array.isArray(state.variants) ? state.variants : [];
    const notes = variants[state.variation];
    return Array.isArray(notes) ? notes : [];
  }

  // Per note list (lists are replaced, never changed in place): whether it is in
  // ascending start order, and its longest note.
  const noteIndexes = new WeakMap();
  function noteIndex(notes) {
    let index = noteIndexes.get(notes);
    if (!index) {
      let sorted = true;
      let longest = 0;
      for (let i = 0; i < notes.length; ++i) {
        const note = notes[i];
        if (!(typeof note.start === 'number' && typeof note.length === 'number')) sorted = false;
        else if (i > 0 && note.start < notes[i - 1].start) sorted = false;
        longest = Math.max(longest, Number(note.length) || 0);
      }
      index = { sorted, longest };
      noteIndexes.set(notes, index);
    }
    return index;
  }

  // The canvas at the device's pixel density, drawn in CSS pixels; also the pitch range,
  // the scroll extent and the view in beats. Null while there is nothing to draw on.
  function prepare() {
    const g = rollGeometry();
    if (g.width === 0 || g.height === 0) return null;
    const ratio = root.devicePixelRatio || 1;
    const backingWidth = Math.round(g.width * ratio);
    const backingHeight = Math.round(g.height * ratio);
    if (g.canvas.width !== backingWidth) g.canvas.width = backingWidth;
    if (g.canvas.height !== backingHeight) g.canvas.height = backingHeight;
    g.ctx = g.canvas.getContext('2d');
    g.ctx.setTransform(ratio, 0, 0, ratio, 0, 0);

    rollTopPitch = page.clamp(rollTopPitch, g.rows - 1, 127);
    g.hi = rollTopPitch;
    g.lo = Math.max(0, g.hi - g.rows + 1);
    page.setText(page.$('roll-range'), `MIDI ${g.lo}–${g.hi}`);
    const scroller = page.$('roll-scroll');
    page.$('roll-extent').style.width = `${Math.max(g.visible, timelineWidth(g.width))}px`;
    page.$('progression-scroll').scrollLeft = scroller.scrollLeft;

    g.ppb = pixelsPerBeat();
    const offset = scroller.scrollLeft;
    g.viewStart = offset / g.ppb;
    g.viewEnd = Math.min(page.total(), (offset + g.visible) / g.ppb);
    g.x = (beat) => GUTTER + beat * g.ppb - offset;
    return g;
  }

  function drawKeys(g) {
    const ctx = g.ctx;
    ctx.fillStyle = '#f0e7d6';
    ctx.fillRect(0, 0, g.width, g.height);
    for (let pitch = g.lo; pitch <= g.hi; ++pitch) {
      const top = (g.hi - pitch) * g.rowHeight;
      const black = BLACK_KEYS.includes(pitch % 12);
      ctx.fillStyle = black ? '#dfd4bf' : '#f6efdf';
      ctx.fillRect(GUTTER, top, g.width - GUTTER, g.rowHeight);
      ctx.fillStyle = '#92836533';
      ctx.fillRect(GUTTER, top + g.rowHeight - 1, g.width - GUTTER, 1);
      ctx.fillStyle = black ? '#25271f' : '#fff8e7';
      ctx.fillRect(0, top, black ? GUTTER * 0.65 : GUTTER, g.rowHeight);
      if (pitch % 12 === 0) {
        ctx.fillStyle = '#312d20';
        ctx.font = '14px Georgia';
        ctx.textBaseline = 'middle';
        ctx.textAlign = 'left';
        ctx.fillText(`C${Math.floor(pitch / 12) - 1}`, GUTTER - 23, top + g.rowHeight / 2);
      }
    }
  }

  function drawGrid(g) {
    const ctx = g.ctx;
    const measure = page.measureLength();
    const step = measure * snapFraction;
    ctx.fillStyle = '#98896627';
    for (let beat = Math.ceil(g.viewStart / step) * step; beat <= g.viewEnd; beat += step) {
      ctx.fillRect(Math.round(g.x(beat)), 0, 1, g.height);
    }
    ctx.fillStyle = '#77674299';
    for (let m = Math.floor(g.viewStart / measure); m <= Math.ceil(g.viewEnd / measure); ++m) {
      ctx.fillRect(Math.round(g.x(m * measure)), 0, 1, g.height);
    }
    ctx.fillStyle = '#8d7955';
    ctx.fillRect(GUTTER, g.height - VELOCITY_LANE, g.width - GUTTER, 1);
  }

  // Notes come in ascending start: begin at the first that can reach the view and stop
  // at the first that starts after it, so a long solo costs only what is in view.
  function drawNotes(g) {
    const ctx = g.ctx;
    const notes = shownNotes();
    const { sorted, longest } = noteIndex(notes);
    let first = 0;
    if (sorted) {
      let high = notes.length;
      while (first < high) {
        const middle = (first + high) >> 1;
        if (notes[middle].start < g.viewStart - longest) first = middle + 1;
        else high = middle;
      }
    }
    for (let i = first; i < notes.length; ++i) {
      const note = notes[i];
      if (sorted && note.start > g.viewEnd) break;
      if (note.start + note.length < g.viewStart || note.start > g.viewEnd) continue;
      if (note.pitch >= g.lo && note.pitch <= g.hi) {
        ctx.fillStyle = '#1b4d3a';
        ctx.fillRect(g.x(note.start), (g.hi - note.pitch) * g.rowHeight + 1,
          Math.max(2, note.length * g.ppb - 1), g.rowHeight - 2);
      }
      const bar = (note.velocity / 127) * 54;
      ctx.fillStyle = '#2f624b';
      ctx.fillRect(g.x(note.start), g.height - bar, 3, bar);
    }
  }

  function drawPlayhead(g) {
    const position = page.playhead();
    if (position === null) return;
    const ctx = g.ctx;
    const head = g.x(position % page.total());
    ctx.fillStyle = '#ba8a2c';
    ctx.fillRect(head - 1, 0, 2, g.height);
    ctx.fillStyle = '#c19641';
    ctx.beginPath();
    ctx.moveTo(head - 7, 0);
    ctx.lineTo(head + 7, 0);
    ctx.lineTo(head, 10);
    ctx.closePath();
    ctx.fill();
  }

  function drawRoll() {
    if (page.$('main-page').hidden) return;
    const g = prepare();
    if (!g) return;
    drawKeys(g);
    const ctx = g.ctx;
    ctx.save();
    ctx.beginPath();
    ctx.rect(GUTTER, 0, g.width - GUTTER, g.height);
    ctx.clip();
    drawGrid(g);
    drawNotes(g);
    drawPlayhead(g);
    ctx.restore();
    ctx.fillStyle = '#5f543e';
    ctx.font = '12px Arial';
    ctx.textAlign = 'left';
    ctx.textBaseline = 'middle';
    ctx.fillText('Velocity', 4, g.height - VELOCITY_LANE / 2);
  }

  // The wheel over the roll: Alt zooms around the pointer, Shift (or a horizontal
  // delta) scrolls the timeline, otherwise pitches scroll.
  function rollWheel(event) {
    const { deltaX, deltaY, deltaMode } = event;
    if (deltaX === 0 && deltaY === 0) return;
    event.preventDefault();
    const g = rollGeometry();
    const clamp = page.clamp;
    if (event.altKey) {
      const anchor = clamp(event.offsetY, 0, g.height - VELOCITY_LANE);
      const pitch = rollTopPitch - anchor / g.rowHeight;
      const delta = deltaY * (deltaMode === 1 ? 16 : deltaMode === 2 ? g.height : 1);
      rollZoom = clamp(rollZoom * Math.exp(-clamp(delta, -300, 300) * 0.002), 25, 800);
      const next = rollGeometry();
      rollTopPitch = clamp(Math.round(pitch + anchor / next.rowHeight), next.rows - 1, 127);
      wheelRemainder = 0;
    } else if (event.shiftKey || deltaX !== 0) {
      page.$('roll-scroll').scrollLeft += deltaX !== 0 ? deltaX : deltaY;
    } else {
      wheelRemainder += deltaMode === 1 ? deltaY : deltaMode === 2 ? deltaY * g.rows : deltaY / 40;
      const steps = Math.trunc(wheelRemainder);
      wheelRemainder -= steps;
      rollTopPitch = clamp(rollTopPitch - steps, g.rows - 1, 127);
    }
    drawRoll();
  }

  // A zoom percentage keeps the beat at the left edge of the view where it was.
  function setZoom() {
    const scroller = page.$('roll-scroll');
    const beatAtLeft = scroller.scrollLeft / pixelsPerBeat();
    zoom = (160 * Number(page.$('zoom').value)) / 100;
    page.drawLane();
    drawRoll();
    scroller.scrollLeft = beatAtLeft * pixelsPerBeat();
    drawRoll();
  }

  function attach() {
    const $ = page.$;
    $('roll').addEventListener('wheel', rollWheel, { passive: false });
    $('zoom').addEventListener('change', setZoom);
    $('snap').addEventListener('change', () => {
      snapFraction = Number($('snap').value);
      page.render();
    });
    $('progression-scroll').addEventListener('wheel', (event) => {
      event.preventDefault();
      $('roll-scroll').scrollLeft += event.deltaX !== 0 ? event.deltaX : event.deltaY;
    }, { passive: false });
    $('roll-scroll').addEventListener('scroll', drawRoll);
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((api) => {
    page = api;
    page.provide({
      drawRoll, pixelsPerBeat, timelineWidth,
      view: () => ({ zoom, snapFraction }),
      roll: () => ({ rollTopPitch, rollZoom }),
    });
    return { attach, render: drawRoll };
  });
})(window);
