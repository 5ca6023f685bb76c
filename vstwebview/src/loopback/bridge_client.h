#pragma once
// The script the loopback host places first in every page it serves, from
// <origin>_bridge/<document>/client.js. It gives the page window.external.invoke,
// runs the scripts the host evaluates, and keeps navigation inside the origin.
namespace vstwebview::loopback {

inline constexpr char kBridgeClientScript[] = R"JS((function () {
  'use strict';
  var src = document.currentScript.src;
  var base = src.slice(0, src.lastIndexOf('/') + 1);
  var root = base.slice(0, base.lastIndexOf('_bridge/'));
  var posted = 0;

  // Requests are numbered so that the host hands them to the bridge in the order the
  // page made them, whichever connection each one travels on.
  window.external = {
    invoke: function (text) {
      posted += 1;
      fetch(base + 'invoke?n=' + posted, {
        method: 'POST',
        body: String(text),
        cache: 'no-store',
        credentials: 'omit'
      }).catch(function () {});
    }
  };

  // Scripts inserted with async = false run in insertion order.
  var events = new EventSource(base + 'events');
  events.onmessage = function (event) {
    var element = document.createElement('script');
    element.src = base + 'eval/' + event.data + '.js';
    element.async = false;
    element.onload = element.onerror = function () { element.remove(); };
    (document.head || document.documentElement).appendChild(element);
  };

  // The page lives inside its origin, as in the embedded browser.
  function outside(url) { return typeof url === 'string' && url.indexOf(root) !== 0; }
  function confine(event) {
    var link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
    if (link && outside(link.href)) event.preventDefault();
  }
  document.addEventListener('click', confine, true);
  document.addEventListener('auxclick', confine, true);
  document.addEventListener('submit', function (event) {
    if (event.target && outside(event.target.action)) event.preventDefault();
  }, true);
  window.open = function () { return null; };
})();
)JS";

}  // namespace vstwebview::loopback
