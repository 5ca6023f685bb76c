// Musical time of a configuration in quarter notes: each entry's measure and length, and
// the timeline of bars with their tempo that the roll, the playhead and the preview
// follow. Defaults are the engine's (schema.js). Pure: the node tests load it.
(function (root) {
  'use strict';

  const FIELDS = root.TavrenaSchema.config.fields;
  const TICKS_PER_QUARTER = root.TavrenaSchema.ticks_per_quarter;

  // Numerator and denominator of a metre text; anything else reads as the default.
  function measureOf(meter) {
    const match = /^(\d+)\/(\d+)$/.exec(typeof meter === 'string' ? meter : FIELDS.meter.default) ||
      /^(\d+)\/(\d+)$/.exec(FIELDS.meter.default);
    return { n: Number(match[1]), d: Number(match[2]) };
  }

  // Quarter notes in a measure of the entry's metre, else the configuration's.
  function entryMeasure(entry, config) {
    const { n, d } = measureOf(entry.meter || config.meter);
    return (n * 4) / d;
  }

  // An entry's length in quarter notes, rounded to whole ticks.
  function entryLength(entry, config) {
    const bars = typeof entry.bars === 'number' ? entry.bars : 1;
    return Math.round(bars * entryMeasure(entry, config) * TICKS_PER_QUARTER) / TICKS_PER_QUARTER;
  }

  // The progression's entries as objects (copies; a text entry is its chord).
  function entriesOf(config) {
    return (Array.isArray(config.progression) ? config.progression : [])
      .map((item) => (typeof item === 'string' ? { chord: item } : { ...item }));
  }

  // Bars {start, length, bpm} with the repeats, cached for the last configuration object.
  let cache = { config: null, bars: [] };
  function timelineOf(config) {
    if (cache.config === config) return cache.bars;
    const bars = [];
    let start = 0;
    const repeats = typeof config.repeats === 'number' ? config.repeats : 1;
    const progression = Array.isArray(config.progression) ? config.progression : [];
    for (let r = 0; r < repeats; ++r) {
      for (const item of progression) {
        const entry = typeof item === 'string' ? { chord: item } : item || {};
        const { n, d } = measureOf(entry.meter || config.meter);
        const b = typeof entry.bars === 'number' ? entry.bars : 1;
        const bpm = entry.bpm || config.bpm || FIELDS.bpm.default;
        for (let i = 0; i < Math.ceil(b); ++i) {
          const ticks = Math.round((Math.min(1, b - i) * n * TICKS_PER_QUARTER * 4) / d);
          const length = ticks / TICKS_PER_QUARTER;
          bars.push({ start, length, bpm });
          start += length;
        }
      }
    }
    cache = { config, bars };
    return bars;
  }

  // The end of the last bar, or 1 for an empty timeline.
  function totalOf(config) {
    const bars = timelineOf(config);
    return bars.length ? bars[bars.length - 1].start + bars[bars.length - 1].length : 1;
  }

  root.TavrenaTimeline = Object.freeze({ measureOf, entryMeasure, entryLength, entriesOf,
    timelineOf, totalOf });
})(typeof window !== 'undefined' ? window : globalThis);
