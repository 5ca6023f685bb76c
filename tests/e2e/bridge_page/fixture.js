// Test fixture for the editor's script bridge, not the product page: a few buttons
// that go through a real click, and a record of every Content-Security-Policy
// violation the document reports.
'use strict';

window.fixtureViolations = [];
document.addEventListener('securitypolicyviolation', function (event) {
  window.fixtureViolations.push(event.violatedDirective + ' ' + event.blockedURI);
  document.getElementById('violations').textContent = window.fixtureViolations.join('\n');
});

function show(outcome, value) {
  var result = document.getElementById('result');
  result.textContent = outcome + ': ' + JSON.stringify(value);
}

document.querySelectorAll('button[data-call]').forEach(function (button) {
  button.addEventListener('click', function () {
    document.getElementById('result').textContent = '';
    window[button.dataset.call]().then(
      function (value) { show('resolved', value); },
      function (reason) { show('rejected', reason); });
  });
});
document.body.dataset.ready = 'true';
