// The chord lane's two dialogs: the chord picker (circle of fifths, qualities, bass and
// the entry's local tempo and metre) and the mode picker (tonic and mode). A classic
// script loaded before app.js; it registers itself in TavrenaParts and also loads in
// Node, where its pure helpers are tested.
(function (root) {
  'use strict';

  (root.TavrenaParts = root.TavrenaParts || []).push(() => ({}));
})(typeof window !== 'undefined' ? window : globalThis);
