#!/usr/bin/env node
// Remakes the editor page's two logos, resources/tavrena-logo.png and resources/logo.png.
// Both are drawn here as SVG and rasterised by Debian's Chromium with a transparent
// background. The letters of the word marks are our own outlines, so they do not depend on
// the fonts installed; only the subtitle is set in a serif font (Georgia, else DejaVu Serif),
// stretched to the word mark's width. Run after `npm ci` in tests/e2e:
//   node scripts/make-logos.mjs [output folder]      (default: resources/)
// Rasterising may differ slightly between Chromium versions; look at both images before
// committing new ones.
import { mkdtempSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const repoRoot = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
// playwright-core lives with the browser tests; this script has no packages of its own.
let chromium;
try {
  ({ chromium } = createRequire(path.join(repoRoot, 'tests/e2e/package.json'))('playwright-core'));
} catch {
  console.error('make-logos: playwright-core is missing; run `npm ci` in tests/e2e first');
  process.exit(1);
}

const ink = '#302a1c';
const bronze = '#8d6e37';
const bronzeLight = '#b8924f';
const green = '#153f32';
const paper = '#eee6d4';
const gold = '#e3cd92';

// The page embeds both images; keep them small.
const maxBytes = 200 * 1024;

const round = (v) => Math.round(v * 100) / 100;
const pts = (list) => list.map(([x, y]) => `${round(x)},${round(y)}`).join(' ');
const poly = (list) => `<polygon points="${pts(list)}"/>`;
const rect = (x, y, w, h) =>
  `<rect x="${round(x)}" y="${round(y)}" width="${round(w)}" height="${round(h)}"/>`;

// A stroke from (x1, y1) to (x2, y2) whose width w is measured horizontally, as a pen held
// at a fixed angle draws the diagonals of a roman capital.
const diagonal = (x1, y1, x2, y2, w) =>
  poly([
    [x1, y1],
    [x1 + w, y1],
    [x2 + w, y2],
    [x2, y2],
  ]);

// Capitals in the manner of a high-contrast roman: heavy main strokes, hairlines and hairline
// serifs. Each glyph is drawn in a box of height h from its left edge; advance is its width.
function capitals(h) {
  const thick = 0.175 * h;
  const thin = 0.055 * h;
  const serif = 0.16 * h; // reach of a serif past its stroke
  const foot = (cx, y, w) => rect(cx - w / 2, y, w, thin);
  return {
    T: () => {
      const w = 0.86 * h;
      const cx = w / 2;
      return {
        width: w,
        shapes: [
          rect(0, 0, w, thin),
          // beaks hanging from the ends of the bar
          poly([
            [0, 0],
            [thin * 1.1, 0],
            [thin * 0.9, 0.2 * h],
            [0, 0.22 * h],
          ]),
          poly([
            [w, 0],
            [w - thin * 1.1, 0],
            [w - thin * 0.9, 0.2 * h],
            [w, 0.22 * h],
          ]),
          rect(cx - thick / 2, 0, thick, h),
          foot(cx, h - thin, thick + 2 * serif),
        ],
      };
    },
    A: () => {
      const w = 0.98 * h;
      const apex = w / 2;
      const leftFoot = serif;
      const rightFoot = w - serif - thick;
      const top = apex - thin * 0.9;
      const innerLeft = (y) => top + thin + ((leftFoot - top) * y) / h - thin * 0.3;
      const innerRight = (y) => top + ((rightFoot - top) * y) / h + thin * 0.3;
      const barTop = 0.63 * h;
      return {
        width: w,
        shapes: [
          diagonal(apex - thin * 0.9, 0, leftFoot, h, thin),
          diagonal(apex - thin * 0.9, 0, rightFoot, h, thick),
          // crossbar between the inner edges of the two legs
          poly([
            [innerLeft(barTop), barTop],
            [innerRight(barTop), barTop],
            [innerRight(barTop + thin), barTop + thin],
            [innerLeft(barTop + thin), barTop + thin],
          ]),
          foot(leftFoot + thin / 2, h - thin, thin + 2 * serif),
          foot(rightFoot + thick / 2, h - thin, thick + 2 * serif),
        ],
      };
    },
    V: () => {
      const w = 0.96 * h;
      const point = w / 2;
      const leftTop = serif;
      const rightTop = w - serif - thin;
      return {
        width: w,
        shapes: [
          diagonal(leftTop, 0, point - thick / 2, h, thick),
          diagonal(rightTop, 0, point + thick / 2 - thin, h, thin),
          foot(leftTop + thick / 2, 0, thick + 2 * serif),
          foot(rightTop + thin / 2, 0, thin + 2 * serif),
        ],
      };
    },
    R: () => {
      const w = 0.9 * h;
      const stem = serif;
      const bowlBottom = 0.54 * h;
      const bowlRight = 0.8 * w;
      const r = bowlBottom / 2;
      // Outer and inner contour of the bowl; the even-odd rule leaves the ring.
      const outer = `M${stem},0 H${bowlRight - r} A${r},${r} 0 0 1 ${bowlRight - r},${bowlBottom} H${stem} Z`;
      const ri = r - thin;
      // narrower inside than outside: the bowl is heavy at its right, hairline at top and foot
      const rx = r - thick * 0.78;
      const inner = `M${stem + thick},${thin} H${bowlRight - r} A${rx},${ri} 0 0 1 ${bowlRight - r},${bowlBottom - thin} H${stem + thick} Z`;
      return {
        width: w,
        shapes: [
          rect(stem, 0, thick, h),
          `<path fill-rule="evenodd" d="${round2(outer)} ${round2(inner)}"/>`,
          diagonal(bowlRight - r - thick * 0.4, bowlBottom - thin, w - serif - thick * 0.7, h, thick),
          foot(stem + thick / 2, h - thin, thick + 2 * serif),
          rect(stem - serif, 0, serif, thin),
          foot(w - serif - thick * 0.7 + thick / 2 + serif * 0.3, h - thin, thick + serif * 1.6),
        ],
      };
    },
    E: () => {
      const w = 0.74 * h;
      const stem = serif;
      return {
        width: w,
        shapes: [
          rect(stem, 0, thick, h),
          rect(stem - serif, 0, w - stem + serif, thin),
          rect(stem, 0.47 * h, 0.72 * w - stem, thin),
          rect(stem - serif, h - thin, w - stem + serif, thin),
          // beaks: down from the top arm, up from the bottom arm
          poly([
            [w, 0],
            [w - thin * 1.1, 0],
            [w - thin * 0.9, 0.19 * h],
            [w, 0.21 * h],
          ]),
          poly([
            [w + 0.02 * h, h],
            [w - thin * 1.1, h],
            [w - thin * 0.9, h - 0.22 * h],
            [w + 0.02 * h, h - 0.24 * h],
          ]),
        ],
      };
    },
    N: () => {
      const w = 0.92 * h;
      const left = serif;
      const right = w - serif - thin;
      return {
        width: w,
        shapes: [
          rect(left, 0, thin, h),
          rect(right, 0, thin, h),
          diagonal(left, 0, right + thin - thick, h, thick),
          foot(left + thin / 2, h - thin, thin + 2 * serif),
          foot(right + thin / 2, 0, thin + 2 * serif),
          rect(left - serif, 0, serif + thick * 0.5, thin),
        ],
      };
    },
  };
}

function round2(d) {
  return d.replace(/-?\d+\.\d+/g, (n) => String(round(Number(n))));
}

// Pairs whose diagonals leave too much air between them, in cap heights.
const kerning = { TA: -0.04, AV: -0.06, VA: -0.06 };

// Lays out a word of cap height h spread to exactly width; returns its shapes.
function word(text, h, width) {
  const glyphs = capitals(h);
  const letters = [...text].map((letter) => glyphs[letter]());
  const kerns = [...text].slice(1).map((letter, i) => (kerning[text[i] + letter] || 0) * h);
  const natural = letters.reduce((sum, g) => sum + g.width, 0) + kerns.reduce((a, k) => a + k, 0);
  const tracking = (width - natural) / (letters.length - 1);
  let x = 0;
  return letters
    .map((glyph, i) => {
      const at = x;
      x += glyph.width + tracking + (kerns[i] || 0);
      return `<g transform="translate(${round(at)} 0)">${glyph.shapes.join('')}</g>`;
    })
    .join('');
}

// A plectrum: rounded at the shoulders, narrowing to a soft point. Centre (cx, cy), size s.
function plectrumPath(cx, cy, s) {
  const top = cy - 0.5 * s;
  const bottom = cy + 0.55 * s;
  const half = 0.5 * s;
  return [
    `M${cx},${top}`,
    `C${cx + 0.62 * s},${top} ${cx + half * 1.02},${cy - 0.1 * s} ${cx + half * 0.72},${cy + 0.2 * s}`,
    `C${cx + half * 0.45},${cy + 0.42 * s} ${cx + 0.09 * s},${bottom} ${cx},${bottom}`,
    `C${cx - 0.09 * s},${bottom} ${cx - half * 0.45},${cy + 0.42 * s} ${cx - half * 0.72},${cy + 0.2 * s}`,
    `C${cx - half * 1.02},${cy - 0.1 * s} ${cx - 0.62 * s},${top} ${cx},${top} Z`,
  ]
    .join(' ')
    .replace(/-?\d+\.\d+/g, (n) => String(round(Number(n))));
}

// A four-pointed spark, as on the page's generate button.
function spark(x, y, r) {
  const k = 0.22 * r;
  return `<path d="M${round(x)},${round(y - r)} Q${round(x + k)},${round(y - k)} ${round(x + r)},${round(y)}
    Q${round(x + k)},${round(y + k)} ${round(x)},${round(y + r)} Q${round(x - k)},${round(y + k)}
    ${round(x - r)},${round(y)} Q${round(x - k)},${round(y - k)} ${round(x)},${round(y - r)} Z"/>`;
}

// Catmull-Rom through the points as cubic segments: a smooth line that touches every note.
function smoothThrough(points) {
  let d = `M${round(points[0][0])},${round(points[0][1])}`;
  for (let i = 0; i + 1 < points.length; i++) {
    const [p0, p1, p2, p3] = [points[Math.max(i - 1, 0)], points[i], points[i + 1],
      points[Math.min(i + 2, points.length - 1)]];
    const c1 = [p1[0] + (p2[0] - p0[0]) / 6, p1[1] + (p2[1] - p0[1]) / 6];
    const c2 = [p2[0] - (p3[0] - p1[0]) / 6, p2[1] - (p3[1] - p1[1]) / 6];
    d += ` C${round(c1[0])},${round(c1[1])} ${round(c2[0])},${round(c2[1])} ${round(p2[0])},${round(p2[1])}`;
  }
  return d;
}

// The product mark: a plectrum across six strings, with a solo climbing them to a spark.
function emblem(cx, cy, s) {
  const pick = plectrumPath(cx, cy, s);
  const slope = -0.16; // the strings rise to the right, as a neck seen from the player
  const stringY = (i, x) => cy - 0.27 * s + i * 0.092 * s + slope * (x - cx);
  const strings = [];
  for (let i = 0; i < 6; i++) {
    strings.push(
      `<line x1="${cx - s}" y1="${round(stringY(i, cx - s))}" x2="${cx + s}" ` +
        `y2="${round(stringY(i, cx + s))}" stroke-width="${round(0.007 * s + i * 0.0022 * s)}"/>`,
    );
  }
  // Note heads sit on the strings: (string index, offset from the centre in sizes).
  const notes = [
    [4.5, -0.3],
    [3, -0.15],
    [3.5, -0.02],
    [1.5, 0.11],
    [0, 0.24],
  ].map(([string, dx]) => [cx + dx * s, stringY(string, cx + dx * s)]);
  const end = [cx + 0.33 * s, stringY(-1.1, cx + 0.33 * s)];
  const heads = notes
    .map(
      ([x, y]) =>
        `<ellipse cx="${round(x)}" cy="${round(y)}" rx="${round(0.043 * s)}" ` +
        `ry="${round(0.031 * s)}" transform="rotate(-24 ${round(x)} ${round(y)})"/>`,
    )
    .join('');
  return `
    <defs>
      <clipPath id="pick"><path d="${pick}"/></clipPath>
      <linearGradient id="rim" x1="0" y1="0" x2="1" y2="1">
        <stop offset="0" stop-color="${bronzeLight}"/>
        <stop offset="0.55" stop-color="${bronze}"/>
        <stop offset="1" stop-color="#6d5329"/>
      </linearGradient>
    </defs>
    <path d="${pick}" fill="${green}" stroke="url(#rim)" stroke-width="${round(0.05 * s)}"
          stroke-linejoin="round"/>
    <!-- Flat light on the upper face: a smooth gradient would double the file's size. -->
    <path d="${plectrumPath(cx - 0.05 * s, cy - 0.06 * s, s * 0.9)}" clip-path="url(#pick)"
          fill="#ffffff" fill-opacity="0.045"/>
    <path d="${plectrumPath(cx, cy + 0.01 * s, s * 0.84)}" fill="none" stroke="${gold}"
          stroke-opacity="0.4" stroke-width="${round(0.008 * s)}"/>
    <g clip-path="url(#pick)" stroke="${gold}" stroke-opacity="0.42">${strings.join('')}</g>
    <path d="${smoothThrough([...notes, end])}" fill="none" stroke="${gold}"
          stroke-width="${round(0.016 * s)}" stroke-linecap="round"/>
    <g fill="${paper}">${heads}</g>
    <g fill="${gold}">${spark(end[0], end[1], 0.075 * s)}</g>`;
}

function productLogo() {
  const width = 2055;
  const height = 452;
  const capHeight = 216;
  const textLeft = 468;
  const textRight = width - 22;
  const textTop = 38;
  const baseline = textTop + capHeight;
  const ruleY = baseline + 42;
  const subtitleY = ruleY + 98;
  const diamond = (x, y, r) =>
    poly([
      [x, y - r],
      [x + r, y],
      [x, y + r],
      [x - r, y],
    ]);
  const mid = (textLeft + textRight) / 2;
  return {
    width,
    height,
    svg: `
  ${emblem(210, 222, 352)}
  <g transform="translate(${textLeft} ${textTop})" fill="${ink}">
    ${word('TAVRENA', capHeight, textRight - textLeft)}
  </g>
  <g fill="${bronze}">
    ${rect(textLeft + 10, ruleY - 2.5, mid - textLeft - 46, 5)}
    ${rect(mid + 36, ruleY - 2.5, textRight - mid - 46, 5)}
    ${diamond(mid, ruleY, 15)}
    ${diamond(textLeft + 10, ruleY, 8)}
    ${diamond(textRight - 10, ruleY, 8)}
  </g>
  <text x="${round(textLeft + 4)}" y="${round(subtitleY)}" textLength="${round(textRight - textLeft - 8)}"
        lengthAdjust="spacing" fill="${bronze}" font-family="Georgia, 'DejaVu Serif', serif"
        font-size="66" font-weight="bold">GUITAR SOLO GENERATOR</text>`,
  };
}

function makerLogo() {
  const size = 254;
  const c = size / 2;
  const v = capitals(120).V();
  const vx = c - v.width / 2;
  const vy = c - 64;
  return {
    width: size,
    height: size,
    svg: `
  <defs>
    <linearGradient id="ring" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="${bronzeLight}"/>
      <stop offset="0.5" stop-color="${bronze}"/>
      <stop offset="1" stop-color="#6d5329"/>
    </linearGradient>
  </defs>
  <circle cx="${c}" cy="${c}" r="${c - 9}" fill="${green}" stroke="url(#ring)" stroke-width="14"/>
  <circle cx="${c - 8}" cy="${c - 9}" r="${c - 24}" fill="#ffffff" fill-opacity="0.045"/>
  <circle cx="${c}" cy="${c}" r="${c - 27}" fill="none" stroke="${gold}" stroke-opacity="0.55"
          stroke-width="2.5"/>
  <g transform="translate(${round(vx)} ${round(vy)})" fill="${gold}">${v.shapes.join('')}</g>
  <g fill="${gold}">
    ${rect(c - 44, vy + 138, 88, 3.5)}
    <polygon points="${pts([
      [c, vy + 131],
      [c + 9, vy + 139.75],
      [c, vy + 148.5],
      [c - 9, vy + 139.75],
    ])}"/>
  </g>`,
  };
}

function document({ width, height, svg }) {
  return `<!DOCTYPE html><html><head><style>
  html, body { margin: 0; padding: 0; background: transparent; }
  svg { display: block; }
</style></head><body>
<svg xmlns="http://www.w3.org/2000/svg" width="${width}" height="${height}"
     viewBox="0 0 ${width} ${height}">${svg}</svg></body></html>`;
}

async function main() {
  const out = path.resolve(process.argv[2] || path.join(repoRoot, 'resources'));
  const profile = mkdtempSync(path.join(tmpdir(), 'tavrena-logos-'));
  // A fresh profile each run, so nothing a previous run left behind changes the pictures.
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
    deviceScaleFactor: 1,
  });
  try {
    for (const [name, logo] of [
      ['tavrena-logo.png', productLogo()],
      ['logo.png', makerLogo()],
    ]) {
      const page = await context.newPage();
      await page.setViewportSize({ width: logo.width, height: logo.height });
      await page.setContent(document(logo));
      const file = path.join(out, name);
      writeFileSync(file, await page.screenshot({ omitBackground: true, type: 'png' }));
      await page.close();
      const bytes = statSync(file).size;
      if (bytes > maxBytes) throw new Error(`${name}: ${bytes} bytes, more than ${maxBytes}`);
      console.log(`${file}: ${logo.width} x ${logo.height}, ${bytes} bytes`);
    }
  } finally {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

await main();
