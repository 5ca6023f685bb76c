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

  // One script element always waits at the host for the next evaluated script: it
  // runs when it arrives, and then the next one is asked for, so scripts run one at
  // a time in the order they were issued. A failed or timed-out wait asks again for
  // the same script. Waiting starts after the page has loaded, which a pending
  // script would otherwise hold up.
  var next = 1;
  function wait() {
    var element = document.createElement('script');
    var started = Date.now();
    element.src = base + 'next.js?n=' + next;
    element.onload = function () {
      element.remove();
      next += 1;
      wait();
    };
    element.onerror = function () {
      element.remove();
      setTimeout(wait, Date.now() - started < 1000 ? 500 : 0);
    };
    (document.head || document.documentElement).appendChild(element);
  }
  if (document.readyState === 'complete') wait();
  else window.addEventListener('load', wait);

  // The page lives inside its origin, as in the embedded browser.
  // The page's own blob: addresses (a configuration it offers for download) stay inside.
  var blobs = 'blob:' + location.origin + '/';
  function outside(url) {
    return typeof url === 'string' && url.indexOf(root) !== 0 && url.indexOf(blobs) !== 0;
  }
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
