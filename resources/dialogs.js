// Dialogs over the page: the chord and mode pickers of a lane entry and the instrument
// picker. Their contents come from other parts (definePicker); this part owns opening,
// redrawing from the state, the outside press and Escape. A part of the page (see the
// parts API in app.js).
(function (root) {
  'use strict';

  let page = null;
  const pickerKinds = {};
  let picker = null;
  let pickerSignature = '';
  let pickerOpener = null;

  // kind: {label (the dialog's accessible name), title, draw(body, picker), closed()}.
  function definePicker(type, kind) {
    pickerKinds[type] = kind;
  }

  function openPicker(type, index) {
    if (!pickerKinds[type]) return;
    const opener = document.activeElement;
    closePicker(false);
    pickerOpener = opener;
    picker = { type, index, flats: false };
    if (type !== 'program') page.selectChord(index);
    pickerSignature = '';
    page.render();
    const layer = page.$('picker-layer');
    const first = layer.querySelector('[data-autofocus]') ||
      layer.querySelector('button, select, input, [tabindex="0"]');
    if (first) first.focus();
  }

  function closePicker(restoreFocus = true) {
    if (!picker) return;
    const kind = pickerKinds[picker.type];
    picker = null;
    const layer = page.$('picker-layer');
    layer.replaceChildren();
    layer.hidden = true;
    if (kind && kind.closed) kind.closed();
    if (restoreFocus && pickerOpener && pickerOpener.isConnected) pickerOpener.focus();
    pickerOpener = null;
  }

  function redrawPickerFromState() {
    const signature = JSON.stringify([page.state().config, picker]);
    if (signature !== pickerSignature) drawPicker();
  }

  function dialogHead(kind) {
    const head = page.element('div', 'picker-head');
    head.append(page.element('h2', 'picker-title', kind.title));
    const close = page.element('button', 'picker-close', '×');
    close.type = 'button';
    close.dataset.focus = 'close';
    close.setAttribute('aria-label', 'Закрыть');
    close.title = 'Закрыть';
    close.addEventListener('click', () => closePicker());
    head.append(close);
    return head;
  }

  function drawPicker() {
    if (!picker) return;
    const kind = pickerKinds[picker.type];
    if (picker.type !== 'program' && picker.index >= page.entries().length) {
      closePicker();
      return;
    }
    pickerSignature = JSON.stringify([page.state().config, picker]);
    const layer = page.$('picker-layer');
    const active = document.activeElement;
    const focusKey = layer.contains(active) ? active.dataset.focus : undefined;
    const dialog = page.element('div', `picker-dialog picker-${picker.type}`);
    dialog.setAttribute('role', 'dialog');
    dialog.setAttribute('aria-modal', 'true');
    dialog.setAttribute('aria-label', kind.label);
    const body = page.element('div', 'picker-body');
    dialog.append(dialogHead(kind), body);
    kind.draw(body, picker);
    layer.replaceChildren(dialog);
    layer.hidden = false;
    if (focusKey !== undefined) {
      const target = dialog.querySelector(`[data-focus="${CSS.escape(focusKey)}"]`);
      if (target) target.focus();
    }
  }

  function attach() {
    page.$('picker-layer').addEventListener('pointerdown', (event) => {
      if (event.target !== page.$('picker-layer')) return;
      event.preventDefault();  // else the press's default focus change undoes the focus given back
      closePicker();
    });
  }

  (root.TavrenaParts = root.TavrenaParts || []).push((api) => {
    page = api;
    page.provide({ definePicker, openPicker, closePicker, redrawPicker: drawPicker,
      picker: () => picker });
    return {
      attach,
      render() {
        if (picker) redrawPickerFromState();
      },
      language() {
        pickerSignature = '';  // an open picker is drawn again in the new language
      },
      keydown(event) {
        if (event.key !== 'Escape' || !picker) return;
        event.preventDefault();
        closePicker();
      },
    };
  });
})(window);
