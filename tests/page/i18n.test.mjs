// The page's translator in a bare script context with small stand-ins for the browser's storage,
// events and DOM. The real page is covered by the browser tests.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import vm from 'node:vm';

const source = readFileSync(new URL('../../resources/i18n.js', import.meta.url), 'utf8');

// refused: reading window.localStorage throws, as a browser does for an origin without storage.
function load({ stored, refused = false, document } = {}) {
  const items = new Map(stored === undefined ? [] : [['tavrena.language', stored]]);
  const events = [];
  const observers = [];
  const context = {
    Event: class { constructor(type) { this.type = type; } },
    dispatchEvent: (event) => events.push(event.type),
    document,
    MutationObserver: class {
      constructor(callback) { this.callback = callback; observers.push(this); }
      observe(target, options) { Object.assign(this, { target, options }); }
    },
  };
  Object.defineProperty(context, 'localStorage', {
    get() {
      if (refused) throw new Error('SecurityError');
      return { getItem: (key) => items.get(key) ?? null, setItem: (key, value) => items.set(key, value) };
    },
  });
  vm.createContext(context);
  vm.runInContext(source, context, { filename: 'i18n.js' });
  return { I18n: context.I18n, items, events, observers };
}

test('dictionary: 177 unique rows, each found from either language', () => {
  const rows = [...source.matchAll(/^ {2}\['(.*)', '(.*)'\],$/gm)].map((m) => [m[1], m[2]]);
  assert.equal(new Set(rows.map(([ru]) => ru)).size, 177);
  const { I18n } = load();
  for (const [ru, en] of rows) assert.deepEqual([I18n.t(ru), I18n.t(en)], [en, en], ru);
  I18n.setLanguage('ru');
  for (const [ru, en] of rows) {
    assert.deepEqual([I18n.t(ru), I18n.t(en)], [ru, rows.findLast((row) => row[1] === en)[0]], ru);
  }
  // Shared English texts go back to the later row.
  const back = ['Bass', 'bars', 'Time signature', 'Generation settings'].map(I18n.t);
  assert.deepEqual(back, ['Бас', 'тактов', 'Размер', 'Конфиг генерации']);
  I18n.setLanguage('en');
  assert.equal(I18n.t('GM программа (0–127)'), 'GM program (0–127)');
  assert.equal(I18n.t('Колесо — вверх/вниз · Shift + колесо — прокрутка'),
               'Wheel: up/down · Shift + wheel: horizontal scroll');
});

test('language: switching, storage item, event, read-only', () => {
  const { I18n, items, events } = load();
  assert.deepEqual([I18n.language, I18n.t('Готово')], ['en', 'Ready']);
  I18n.setLanguage('ru');
  assert.deepEqual([I18n.language, items.get('tavrena.language'), events], ['ru', 'ru', ['tavrena-language']]);
  assert.deepEqual([I18n.t('Ready'), I18n.t('Готово')], ['Готово', 'Готово']);
  I18n.setLanguage('de');
  assert.deepEqual([I18n.language, items.get('tavrena.language'), events.length], ['en', 'en', 2]);
  assert.equal(I18n.t('Готово'), 'Ready');
  assert.throws(() => { I18n.language = 'ru'; }, TypeError);

  assert.equal(load({ stored: 'ru' }).I18n.t('Готово'), 'Готово');
  assert.equal(load({ stored: 'RU' }).I18n.language, 'en');
  const refused = load({ stored: 'ru', refused: true });
  assert.equal(refused.I18n.language, 'en');
  refused.I18n.setLanguage('ru');
  assert.deepEqual([refused.I18n.t('Ready'), refused.events], ['Готово', ['tavrena-language']]);
});

test('composed texts in both languages', () => {
  // [text, English, Russian]
  const rows = [
    ['Такты: допустимо 0.03125…256', 'Bars: allowed 0.03125…256', 'Такты: допустимо 0.03125…256'],
    ['Повторы: допустимо 1…128 (целое)', 'Repeats: allowed 1…128 (integer)', 'Повторы: допустимо 1…128 (целое)'],
    ['Repeats: allowed 1 (integer)', 'Repeats: allowed 1 (integer)', 'Повторы: допустимо 1 (целое)'],
    ['bends: true или false', 'bends: true or false', 'bends: true или false'],
    ['Ошибка связи: Invalid native request', 'Connection error: Invalid native request', 'Ошибка связи: Invalid native request'],
    ['Ошибка связи: Генерация отменена', 'Connection error: Generation cancelled', 'Ошибка связи: Генерация отменена'],
    ['Неизвестное поле solo.foo', 'Unknown field solo.foo', 'Неизвестное поле solo.foo'],
    ['Duplicate field solo.x', 'Duplicate field solo.x', 'Повторное поле solo.x'],
    ['Некорректный аккорд: Hm7', 'Invalid chord: Hm7', 'Некорректный аккорд: Hm7'],
    ['Некорректный аккорд: ', 'Invalid chord: ', 'Некорректный аккорд: '],
    ['Удалить аккорд Am7', 'Delete chord Am7', 'Удалить аккорд Am7'],
    ['Размер аккорда', 'Chord time signature', 'Размер аккорда'],
    ['BPM chord', 'Chord BPM', 'BPM аккорда'],
    ['C Дорийский', 'C Dorian', 'C Дорийский'],
    [' Фригийский', ' Phrygian', ' Фригийский'],
    ['F# Minor pentatonic', 'F# Minor pentatonic', 'F# Минорная пентатоника'],
    ['Eb Авто · лад', 'Eb Auto · mode', 'Eb Авто · лад'],
    // Russian plural by the last digits; a decimal comma or a fraction takes the general one.
    ['1 такт', '1 bar', '1 такт'],
    ['3 такта', '3 bars', '3 такта'],
    ['21 bars', '21 bars', '21 такт'],
    ['11 bar', '11 bars', '11 тактов'],
    ['112 bars', '112 bars', '112 тактов'],
    ['1004 bars', '1004 bars', '1004 такта'],
    ['2.5 bars', '2.5 bars', '2.5 тактов'],
    ['1,0 такт', '1,0 bars', '1,0 тактов'],
    ['Вариант\n2', 'Variant 2', 'Вариант 2'],
    ['\n    Готово  ', '\n    Ready  ', '\n    Готово  '],
    ['Acoustic Grand Piano', 'Acoustic Grand Piano', 'Acoustic Grand Piano'],
  ];
  const { I18n } = load();
  for (const [text, en] of rows) assert.equal(I18n.t(text), en, JSON.stringify(text));
  I18n.setLanguage('ru');
  for (const [text, , ru] of rows) assert.equal(I18n.t(text), ru, JSON.stringify(text));
});

// A minimal DOM: text nodes count their writes.
class Text {
  nodeType = 3;
  writes = 0;
  #value;
  constructor(value) { this.#value = value; }
  get nodeValue() { return this.#value; }
  set nodeValue(value) { this.#value = value; this.writes++; }
}
class Element {
  nodeType = 1;
  constructor(localName, attributes = {}, children = []) {
    Object.assign(this, { localName, attributes: new Map(Object.entries(attributes)) });
    this.childNodes = children.map((child) => (typeof child === 'string' ? new Text(child) : child));
  }
  hasAttribute(name) { return this.attributes.has(name); }
  getAttribute(name) { return this.attributes.get(name); }
  setAttribute(name, value) { this.attributes.set(name, value); }
}

test('document: nodes remember their source, attributes and title follow, scripts stay', () => {
  const [status, bass] = [new Text('Готово'), new Text('Басы')];
  const script = new Element('script', {}, ['Готово']);
  const textarea = new Element('textarea', { placeholder: 'Seed (пусто = 0)' }, ['Готово']);
  const button = new Element('button', { title: 'Прослушать', 'aria-label': 'Бас', 'data-x': 'Готово' });
  const body = new Element('body', {}, [new Element('span', {}, [status, bass]), script, textarea, button]);
  const document = { body, documentElement: new Element('html'), title: 'Бенды' };
  const { I18n, observers } = load({ document });
  const attributes = () => ['title', 'aria-label', 'data-x'].map((name) => button.getAttribute(name));

  assert.deepEqual([status.nodeValue, bass.nodeValue, document.title], ['Ready', 'Bass', 'Bends']);
  assert.deepEqual([script.childNodes[0].nodeValue, textarea.childNodes[0].nodeValue], ['Готово', 'Готово']);
  assert.equal(textarea.getAttribute('placeholder'), 'Seed (empty = 0)');
  assert.deepEqual(attributes(), ['Play', 'Bass', 'Готово']);

  const [observer] = observers;
  assert.equal(observer.target, body);
  assert.deepEqual({ ...observer.options, attributeFilter: [...observer.options.attributeFilter].sort() },
                   { childList: true, characterData: true, subtree: true, attributes: true,
                     attributeFilter: ['aria-label', 'placeholder', 'title'] });
  const writes = status.writes;
  observer.callback([]);  // the pass caused by our own writes must change nothing
  assert.equal(status.writes, writes);

  I18n.setLanguage('ru');
  // The node remembers "Басы"; the attribute has only the reverse table, which gives "Бас".
  assert.deepEqual([status.nodeValue, bass.nodeValue, ...attributes()], ['Готово', 'Басы', 'Прослушать', 'Бас', 'Готово']);
  assert.deepEqual([document.documentElement.getAttribute('lang'), document.title], ['ru', 'Бенды']);

  I18n.setLanguage('en');
  status.nodeValue = 'Генерация…';  // the page writes a new source into a translated node
  observer.callback([]);
  assert.equal(status.nodeValue, 'Generating…');
  I18n.setLanguage('ru');
  assert.equal(status.nodeValue, 'Генерация…');
});

test('loaded from the head: starts once the document is parsed', () => {
  const listeners = {};
  const document = { body: null, title: 'Tavrena', addEventListener: (type, listener) => { listeners[type] = listener; } };
  const { observers } = load({ document });
  document.body = new Element('body', {}, ['Готово']);
  listeners.DOMContentLoaded();
  assert.deepEqual([document.body.childNodes[0].nodeValue, observers[0].target], ['Ready', document.body]);
});
