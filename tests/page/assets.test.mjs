// The page's images and the notice files the module carries beside them. The build embeds
// resources/ as it is, so a logo of the wrong size, a PNG a browser would reject, or a licence
// file with Windows line ends would ship unnoticed. The logos are remade by
// scripts/make-logos.mjs; rasterising differs between Chromium versions, so only the
// properties every good rendering shares are checked here.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { crc32, inflateSync } from 'node:zlib';

const resources = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../resources');
const read = (name) => readFileSync(path.join(resources, name));

const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
// Channels per colour type; 4 (grey and alpha) and 6 (RGBA) carry alpha.
const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 };

// Reads a PNG as a decoder must: signature, chunks with valid CRCs, IHDR first, IEND last,
// and image data that inflates to exactly one filtered scan line per row. Throws otherwise.
function readPng(bytes) {
  assert.ok(bytes.subarray(0, 8).equals(signature), 'PNG signature');
  const chunks = [];
  let at = 8;
  while (at < bytes.length) {
    assert.ok(at + 12 <= bytes.length, `chunk at ${at} runs past the end`);
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('latin1', at + 4, at + 8);
    const end = at + 12 + length;
    assert.ok(end <= bytes.length, `${type} chunk runs past the end`);
    const body = bytes.subarray(at + 8, at + 8 + length);
    assert.equal(bytes.readUInt32BE(end - 4), crc32(bytes.subarray(at + 4, at + 8 + length)),
      `${type} chunk CRC`);
    chunks.push({ type, body });
    at = end;
  }
  assert.equal(chunks[0]?.type, 'IHDR', 'IHDR comes first');
  assert.equal(chunks.at(-1).type, 'IEND', 'IEND comes last');
  assert.equal(chunks.filter((c) => c.type === 'IEND').length, 1);
  const ihdr = chunks[0].body;
  assert.equal(ihdr.length, 13, 'IHDR length');
  const header = {
    width: ihdr.readUInt32BE(0),
    height: ihdr.readUInt32BE(4),
    bitDepth: ihdr[8],
    colourType: ihdr[9],
    interlace: ihdr[12],
  };
  assert.ok(header.colourType in channels, `colour type ${header.colourType}`);
  assert.equal(ihdr[10], 0, 'compression method');
  assert.equal(ihdr[11], 0, 'filter method');

  const idat = chunks.filter((c) => c.type === 'IDAT');
  assert.ok(idat.length > 0, 'image data present');
  // IDAT chunks must be consecutive: a decoder concatenates one run of them.
  const first = chunks.indexOf(idat[0]);
  assert.ok(idat.every((c, i) => chunks[first + i] === c), 'IDAT chunks are consecutive');
  if (header.interlace === 0) {
    const data = inflateSync(Buffer.concat(idat.map((c) => c.body)));
    const rowBytes = Math.ceil((header.width * channels[header.colourType] * header.bitDepth) / 8);
    assert.equal(data.length, header.height * (1 + rowBytes), 'inflated image size');
    for (let row = 0; row < header.height; row++) {
      assert.ok(data[row * (1 + rowBytes)] <= 4, `row ${row} filter type`);
    }
  }
  return header;
}

describe('logos', () => {
  for (const [name, width, height] of [
    ['tavrena-logo.png', 2055, 452],
    ['logo.png', 254, 254],
  ]) {
    test(`${name} is a valid ${width} x ${height} PNG with alpha, under 200 KB`, () => {
      const bytes = read(name);
      const header = readPng(bytes);
      assert.deepEqual([header.width, header.height], [width, height]);
      // The page shows both over its own colours: they need an alpha channel.
      assert.ok([4, 6].includes(header.colourType), `colour type ${header.colourType}`);
      assert.ok(bytes.length < 200 * 1024, `${bytes.length} bytes`);
    });
  }

  test('the PNG check rejects damaged files', () => {
    const good = read('logo.png');
    const flipped = Buffer.from(good);
    flipped[good.indexOf('IDAT') + 20] ^= 0x01; // inside the image data: its CRC no longer matches
    assert.throws(() => readPng(flipped), /CRC/);
    assert.throws(() => readPng(good.subarray(0, good.length - 12)), /IEND comes last/);
    assert.throws(() => readPng(Buffer.concat([Buffer.from('GIF89a'), good])), /signature/);
  });
});

describe('notice files', () => {
  const texts = readdirSync(resources).filter((name) => name.endsWith('.txt'));

  test('are the notice and seven licence texts, named for their resource names', () => {
    assert.equal(texts.length, 8, texts.join(', '));
    assert.ok(texts.includes('NOTICE.txt'));
    for (const name of texts) {
      assert.match(name, /^(NOTICE|LICENSE-[A-Z0-9]+(-[A-Z0-9]+)*)\.txt$/);
    }
  });

  test('are non-empty UTF-8 text with LF line ends', () => {
    for (const name of texts) {
      const bytes = read(name);
      assert.ok(bytes.length > 0, `${name} is empty`);
      const text = new TextDecoder('utf-8', { fatal: true }).decode(bytes);
      assert.ok(!text.startsWith('\uFEFF'), `${name} starts with a byte order mark`);
      assert.ok(!text.includes('\r'), `${name} has a carriage return`);
      assert.ok(text.endsWith('\n'), `${name} lacks its final line end`);
    }
  });

  test('the notice names every licence file, and every file it names exists', () => {
    const notice = read('NOTICE.txt').toString('utf8');
    const named = new Set(notice.match(/LICENSE-[A-Z0-9-]+\.txt/g));
    const present = new Set(texts.filter((name) => name !== 'NOTICE.txt'));
    assert.deepEqual([...named].sort(), [...present].sort());
  });
});
