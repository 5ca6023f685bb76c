// Translator of the editor page. The page writes Russian source texts everywhere; this script
// shows them in English (the default) or Russian and keeps the document translated as the page
// changes it. A classic script, loaded before the page script; it touches the browser's objects
// only when they exist so that it also loads in a bare script context for tests.
(function(global) {
'use strict';

const STORAGE_KEY = 'tavrena.language';
const EVENT_NAME = 'tavrena-language';

// [Russian source, English]. Keys are unique; where English texts repeat, the later row is
// the one an English text maps back to.
// clang-format off
const ROWS = [
  ['Колесо — вверх/вниз · Shift + колесо — прокрутка', 'Wheel: up/down · Shift + wheel: horizontal scroll'],
  ['Общая горизонтальная прокрутка аккордов и piano roll', 'Shared chords and piano roll horizontal scroll'],
  ['Veltmark — открыть сайт в браузере', 'Veltmark — open website in browser'],
  ['Не удалось открыть сайт в браузере', 'Could not open website in browser'],
  ['Добавить аккорд', 'Add chord'],
  ['Привязка piano roll', 'Piano roll snap'],
  ['Инструмент GM', 'GM instrument'],
  ['Фортепиано', 'Piano'],
  ['Хроматическая перкуссия', 'Chromatic Percussion'],
  ['Органы', 'Organ'],
  ['Гитары', 'Guitar'],
  ['Басы', 'Bass'],
  ['Струнные', 'Strings'],
  ['Ансамбли', 'Ensemble'],
  ['Медные духовые', 'Brass'],
  ['Язычковые духовые', 'Reed'],
  ['Флейты', 'Pipe'],
  ['Синтезаторные лиды', 'Synth Lead'],
  ['Синтезаторные пэды', 'Synth Pad'],
  ['Синтезаторные эффекты', 'Synth Effects'],
  ['Этнические', 'Ethnic'],
  ['Ударные', 'Percussive'],
  ['Звуковые эффекты', 'Sound Effects'],
  ['Диапазон нот', 'Note range'],
  ['Настройки', 'Settings'],
  ['Разделы плагина', 'Plugin pages'],
  ['Проект и гармония', 'Project & harmony'],
  ['Мелодия', 'Melody'],
  ['Ритм', 'Rhythm'],
  ['Исполнение', 'Performance'],
  ['Предпочтения', 'Preferences'],
  ['Синхронизация', 'Sync'],
  ['Случайный seed', 'Random Seed'],
  ['По аккордам', 'Per-chord modes'],
  ['Глобальная', 'Global scale'],
  ['Генератор гитарного соло', 'Guitar solo generator'],
  ['МАКЕТ', 'PREVIEW'],
  ['Фраза', 'Phrase'],
  ['Новая фраза', 'New phrase'],
  ['Создать новую фразу', 'Create new phrase'],
  ['Открыть JSON…', 'Open JSON…'],
  ['Сохранить конфиг JSON', 'Save JSON config'],
  ['Настроить генерацию', 'Generation settings'],
  ['При SYNC темп воспроизведения задаёт DAW', 'SYNC uses the DAW playback tempo'],
  ['Темп BPM', 'Tempo BPM'],
  ['Размер такта', 'Time signature'],
  ['Тональность и лад', 'Key and mode'],
  ['Длина прогрессии', 'Progression length'],
  ['Прогрессия', 'Progression'],
  ['Двойной щелчок — аккорд · потяните границу', 'Double-click a chord · drag its edge'],
  ['Открыть JSON', 'Open JSON'],
  ['Сохранить JSON', 'Save JSON'],
  ['+ Аккорд', '+ Chord'],
  ['Масштаб', 'Zoom'],
  ['Привязка', 'Snap'],
  ['1 такт', '1 bar'],
  ['1/2 такта', '1/2 bar'],
  ['1/4 такта', '1/4 bar'],
  ['Переместить аккорд влево', 'Move chord left'],
  ['Переместить аккорд вправо', 'Move chord right'],
  ['Удалить выбранный', 'Delete selected'],
  ['Прогрессия аккордов', 'Chord progression'],
  ['Alt + колесо — масштаб · колесо — вверх/вниз', 'Alt + wheel: zoom · wheel: scroll up/down'],
  ['Масштаб piano roll, %', 'Piano roll zoom, %'],
  ['Предпросмотр нот соло', 'Solo note preview'],
  ['Горизонтальная прокрутка piano roll', 'Piano roll horizontal scroll'],
  ['Задайте аккорды и сгенерируйте соло', 'Set up chords and generate a solo'],
  ['Прослушать', 'Play'],
  ['Остановить', 'Stop'],
  ['Повтор', 'Loop'],
  ['Вариант 1', 'Variant 1'],
  ['Вариант 2', 'Variant 2'],
  ['Вариант 3', 'Variant 3'],
  ['✦ Сгенерировать соло', '✦ Generate solo'],
  ['■ Отменить', '■ Cancel'],
  ['⇧ Экспорт MIDI', '⇧ Export MIDI'],
  ['Зажмите и перетащите в DAW', 'Click and drag into your DAW'],
  ['▤ Перетащить MIDI в DAW', '▤ Drag MIDI to DAW'],
  ['Готово', 'Ready'],
  ['Встроенный генератор', 'Built-in generator'],
  ['Закрыть настройки', 'Close settings'],
  ['Конфиг генерации', 'Generation settings'],
  ['Корректные значения сохраняются сразу при вводе.', 'Valid values are saved as you type.'],
  ['Параметры соло', 'Solo settings'],
  ['Нижняя нота MIDI', 'Lowest MIDI note'],
  ['Верхняя нота MIDI', 'Highest MIDI note'],
  ['Плотность', 'Density'],
  ['Доля пауз', 'Rest amount'],
  ['Тактов во фразе', 'Bars per phrase'],
  ['Отклонение, мс', 'Humanize, ms'],
  ['Длительность нот', 'Note gate'],
  ['GM программа (0–127)', 'GM program (0–127)'],
  ['Вес аккордовых нот', 'Chord tone weight'],
  ['Доля пассажей', 'Run amount'],
  ['Вариация мотива', 'Motif variation'],
  ['Синкопы', 'Syncopation'],
  ['Триоли', 'Triplets'],
  ['Хроматика', 'Chromatic notes'],
  ['Вес ладового окраса', 'Modal color weight'],
  ['Бенды', 'Bends'],
  ['Слайды', 'Slides'],
  ['Диапазон pitch bend', 'Pitch bend range'],
  ['Артикуляций во фразе', 'Articulations per phrase'],
  ['Некорректный конфиг: проверьте поля и диапазоны', 'Invalid config: check fields and ranges'],
  ['Размер: числитель 1…32, знаменатель 1, 2, 4, 8, 16 или 32', 'Time signature: numerator 1…32; denominator 1, 2, 4, 8, 16 or 32'],
  ['Тоника: нота от C до B, допустимы # и b', 'Root: a note from C to B, with optional # or b'],
  ['Неизвестный лад', 'Unknown mode'],
  ['Конфиг должен быть объектом', 'Config must be an object'],
  ['Повторы', 'Repeats'],
  ['harmony: global или chord_modes', 'harmony: global or chord_modes'],
  ['Нужно непустое имя MIDI', 'A MIDI filename is required'],
  ['Нужна непустая progression', 'A non-empty progression is required'],
  ['Некорректная строка прогрессии', 'Invalid progression entry'],
  ['Такты', 'Bars'],
  ['BPM аккорда', 'Chord BPM'],
  ['Не больше 4096 тактов с повторами', 'Maximum 4096 bars including repeats'],
  ['solo должен быть объектом', 'solo must be an object'],
  ['Диапазон нот должен быть не меньше октавы', 'The note range must span at least one octave'],
  ['Авто', 'Auto'],
  ['Ионийский', 'Ionian'],
  ['Мажор', 'Major'],
  ['Эолийский', 'Aeolian'],
  ['Минор', 'Minor'],
  ['Дорийский', 'Dorian'],
  ['Фригийский', 'Phrygian'],
  ['Лидийский', 'Lydian'],
  ['Миксолидийский', 'Mixolydian'],
  ['Локрийский', 'Locrian'],
  ['Гармонический минор', 'Harmonic minor'],
  ['Мелодический минор', 'Melodic minor'],
  ['Фригийский доминантный', 'Phrygian dominant'],
  ['Минорная пентатоника', 'Minor pentatonic'],
  ['Мажорная пентатоника', 'Major pentatonic'],
  ['Блюзовый', 'Blues'],
  ['Двойной щелчок — выбрать аккорд', 'Double-click to choose a chord'],
  ['Удалить аккорд', 'Delete chord'],
  ['Потяните границу аккорда', 'Drag the chord edge'],
  ['Авто · лад', 'Auto · mode'],
  ['Выбрать тонику и лад', 'Choose root and mode'],
  ['Выбор аккорда', 'Chord picker'],
  ['Выбор лада', 'Mode picker'],
  ['Аккорд · кварто-квинтовый круг', 'Chord · circle of fifths'],
  ['Лад и тоника', 'Mode and root'],
  ['Закрыть', 'Close'],
  ['Без обращения', 'No inversion'],
  ['Бас аккорда', 'Chord bass'],
  ['Бас', 'Bass'],
  ['Локальные настройки', 'Local settings'],
  ['Размер', 'Time signature'],
  ['Тоника', 'Root'],
  ['Лад определяется генератором', 'The generator chooses the mode'],
  ['Автоматический лад', 'Automatic mode'],
  ['Выбор применяется сразу', 'Selections apply immediately'],
  ['такт', 'bar'],
  ['такта', 'bars'],
  ['тактов', 'bars'],
  ['Размер N/D', 'Time signature N/D'],
  ['Тональность', 'Key'],
  ['Глобальный лад', 'Global mode'],
  ['Гармония', 'Harmony'],
  ['Повторов прогрессии', 'Progression repeats'],
  ['Seed (пусто = 0)', 'Seed (empty = 0)'],
  ['Имя MIDI при экспорте', 'Export MIDI filename'],
  ['Введите корректное число', 'Enter a valid number'],
  ['Заполните числовое поле', 'Fill in the numeric field'],
  ['Начать новую фразу? Текущие настройки и варианты будут заменены.', 'Start a new phrase? Current settings and variants will be replaced.'],
  ['Генерация доступна в VST3', 'Generation is available in VST3'],
  ['Генерация…', 'Generating…'],
  ['Соло сгенерировано', 'Solo generated'],
  ['Генерация отменена', 'Generation cancelled'],
  ['Проект изменён — повторите генерацию', 'Project changed — generate again'],
  ['MIDI экспортирован', 'MIDI exported'],
  ['JSON слишком большой', 'JSON file is too large'],
  ['Конфиг загружен', 'Config loaded'],
  ['Ошибка связи:', 'Connection error:'],
  ['Макет интерфейса · генерация доступна в VST3', 'Interface preview · generation is available in VST3'],
  ['Язык интерфейса', 'Interface language'],
];
// clang-format on

const dictionary = new Map(ROWS);
const reverse = new Map(ROWS.map(([source, english]) => [english, source]));

let language = 'en';
try {
  if (global.localStorage && global.localStorage.getItem(STORAGE_KEY) === 'ru') language = 'ru';
} catch (_) {
  // Storage may be disabled for the page's origin; English is the fallback.
}

const english = () => language === 'en';
const normalize = (text) => text.replace(/\s+/g, ' ').trim();

function pluralRu(n) {
  if (n % 10 === 1 && n % 100 !== 11) return 'такт';
  // Membership, not ranges: a fraction such as 2.5 takes the general plural.
  if ([2, 3, 4].includes(n % 10) && ![12, 13, 14].includes(n % 100)) return 'такта';
  return 'тактов';
}

// Texts the page composes around a variable part. Each entry: [pattern, builder of the
// translation from the match]. Tried in order on the normalized text; the first match wins.
const PATTERNS = [
  [
    /^(\d+(?:[.,]\d+)?) (?:такт|такта|тактов|bar|bars)$/,
    ([, number]) => {
      // A decimal comma reads as NaN, which takes the general plural in both languages.
      const n = Number(number);
      if (english()) return `${number} ${n === 1 ? 'bar' : 'bars'}`;
      return `${number} ${pluralRu(n)}`;
    },
  ],
  [
    /^(?:Удалить аккорд|Delete chord) (.+)$/,
    ([, rest]) => `${t('Удалить аккорд')} ${rest}`
  ],
  [
    /^(BPM|Размер|Time signature) (?:аккорда|chord)$/,
    ([, what]) => {
      const bpm = what === 'BPM';
      if (english()) return bpm ? 'Chord BPM' : 'Chord time signature';
      return bpm ? 'BPM аккорда' : 'Размер аккорда';
    },
  ],
  [
    /^(?:Неизвестное поле|Unknown field) (.+)$/,
    ([, rest]) => `${english() ? 'Unknown field' : 'Неизвестное поле'} ${rest}`,
  ],
  [
    /^(?:Повторное поле|Duplicate field) (.+)$/,
    ([, rest]) => `${english() ? 'Duplicate field' : 'Повторное поле'} ${rest}`,
  ],
  [
    // The page reports a missing chord with an empty rest, which normalizing trims away.
    /^(?:Некорректный аккорд:|Invalid chord:)(?: (.*))?$/,
    ([, rest]) => {
      const label = english() ? 'Invalid chord:' : 'Некорректный аккорд:';
      return rest ? `${label} ${rest}` : label;
    },
  ],
  [
    /^(.+?): (?:допустимо|allowed) (.+)$/,
    ([, name, bounds]) => english() ?
        `${t(name)}: allowed ${bounds.replaceAll('(целое)', '(integer)')}` :
        `${t(name)}: допустимо ${bounds.replaceAll('(integer)', '(целое)')}`,
  ],
  [
    /^(.+?): (?:true или false|true or false)$/,
    ([, name]) => `${name}: ${english() ? 'true or false' : 'true или false'}`,
  ],
  [
    /^(?:Ошибка связи:|Connection error:) (.+)$/,
    ([, message]) => `${t('Ошибка связи:')} ${t(message)}`,
  ],
  [/^([A-G][#b]?) (.+)$/, ([, note, rest]) => `${note} ${t(rest)}`],
];

function t(value) {
  const text = String(value);
  const normalized = normalize(text);
  if (normalized === '') return text;
  // An English text is first taken back to its source, so translation works in both directions.
  const source = reverse.has(normalized) ? reverse.get(normalized) : normalized;
  let translated = english() && dictionary.has(source) ? dictionary.get(source) : source;
  if (!dictionary.has(source)) {
    for (const [pattern, build] of PATTERNS) {
      const match = pattern.exec(normalized);
      if (match) {
        translated = build(match);
        break;
      }
    }
  }
  // Keep the outer white space: some labels rely on a leading space to separate them.
  const lead = /^\s*/.exec(text)[0];
  const trail = /\s*$/.exec(text)[0];
  return lead + translated + trail;
}

const SKIPPED = new Set(['script', 'style', 'textarea']);
const ATTRIBUTES = ['title', 'aria-label', 'placeholder'];
const TEXT_NODE = 3;
const ELEMENT_NODE = 1;

// Text node → {source, written}. Weak, so nodes the page throws away are forgotten. The
// source lets a switch of language start from the page's own text rather than from the
// reverse table, which cannot tell apart sources sharing one English text.
const memory = new WeakMap();

function localizeText(node) {
  const value = node.nodeValue;
  const entry = memory.get(node);
  // A value other than the one last written means the page wrote a new source text.
  const source = entry && entry.written === value ? entry.source : value;
  const result = t(source);
  memory.set(node, {source, written: result});
  if (result !== value) node.nodeValue = result;
}

function localizeAttributes(element) {
  for (const name of ATTRIBUTES) {
    if (!element.hasAttribute(name)) continue;
    const value = element.getAttribute(name);
    const result = t(value);
    if (result !== value) element.setAttribute(name, result);
  }
}

function localize(root) {
  const document = global.document;
  if (root === undefined && document) root = document.body;
  const stack = root ? [root] : [];
  while (stack.length > 0) {
    const node = stack.pop();
    if (node.nodeType === TEXT_NODE) {
      localizeText(node);
    } else if (node.nodeType === ELEMENT_NODE) {
      localizeAttributes(node);
      if (!SKIPPED.has(String(node.localName).toLowerCase())) {
        for (const child of node.childNodes) stack.push(child);
      }
    } else if (node.childNodes) {
      // Documents and fragments: nothing to translate on the node itself.
      for (const child of node.childNodes) stack.push(child);
    }
  }
  if (document) {
    if (document.documentElement) document.documentElement.setAttribute('lang', language);
    const title = t(document.title);
    if (title !== document.title) document.title = title;
  }
}

function setLanguage(value) {
  language = value === 'ru' ? 'ru' : 'en';
  try {
    global.localStorage.setItem(STORAGE_KEY, language);
  } catch (_) {
    // Without storage the choice lasts as long as the page.
  }
  localize();
  if (typeof global.dispatchEvent === 'function' && typeof global.Event === 'function') {
    global.dispatchEvent(new global.Event(EVENT_NAME));
  }
}

function start() {
  const body = global.document.body;
  if (typeof global.MutationObserver === 'function') {
    // Our own writes trigger one more pass, which finds everything already translated.
    new global.MutationObserver(() => localize(body)).observe(body, {
      childList: true,
      characterData: true,
      subtree: true,
      attributes: true,
      attributeFilter: ATTRIBUTES,
    });
  }
  localize(body);
}

global.I18n = Object.freeze({
  t,
  localize,
  setLanguage,
  get language() { return language; },
});

const document = global.document;
if (document) {
  // Loaded from the head, the body does not exist yet.
  if (document.body)
    start();
  else
    document.addEventListener('DOMContentLoaded', start, {once: true});
}
})(globalThis);
