'use strict';
// The call log, the contacts and the statistics, kept live through the /events socket.
// Every text from the server goes in with textContent: a name can never become markup.

const texts = {
  en: {
    calls: 'Calls', contacts: 'Contacts', stats: 'Statistics', logOut: 'Log out',
    connecting: 'Connecting…', live: 'Live', offline: 'Offline',
    openNotice:
      'No password is set: anyone on the network can read and change the calls and contacts.',
    noCalls: 'No calls yet.', older: 'Older calls', searchHint: 'Name or number',
    newContact: 'New contact', noContacts: 'No contacts found.', backToContacts: '‹ Contacts',
    edit: 'Edit', nameIt: 'Name this number', name: 'Name', home: 'Home', mobile: 'Mobile',
    work: 'Work', fax: 'Fax', email: 'E-mail', save: 'Save', cancel: 'Cancel',
    lastCalls: 'Last calls', last30: 'The last 30 days.', topCallers: 'Top callers',
    unknownCallers: 'Unknown callers', noRows: 'None in the last 30 days.',
    unknown: 'Unknown caller', unknownNumber: 'Unknown number', noNumber: 'No number',
    named: 'directory', namedTitle: 'Named by the online directory', today: 'Today',
    unrecognizedHint: 'Not in the contacts yet: give the number a name.',
    failed: 'Something went wrong: ', lastCall: 'Last call:',
    rings: (n) => (n === 1 ? '1 ring' : `${n} rings`),
    callCount: (n) => (n === 1 ? '1 call' : `${n} calls`),
    callsTotal: (n) => `Calls in all: ${n}`,
  },
  da: {
    calls: 'Opkald', contacts: 'Kontakter', stats: 'Statistik', logOut: 'Log ud',
    connecting: 'Forbinder…', live: 'Live', offline: 'Afbrudt',
    openNotice:
      'Der er ingen adgangskode: alle på netværket kan læse og ændre opkald og kontakter.',
    noCalls: 'Ingen opkald endnu.', older: 'Ældre opkald', searchHint: 'Navn eller nummer',
    newContact: 'Ny kontakt', noContacts: 'Ingen kontakter fundet.',
    backToContacts: '‹ Kontakter',
    edit: 'Redigér', nameIt: 'Giv nummeret et navn', name: 'Navn', home: 'Privat',
    mobile: 'Mobil', work: 'Arbejde', fax: 'Fax', email: 'E-mail', save: 'Gem',
    cancel: 'Annullér', lastCalls: 'Seneste opkald', last30: 'De seneste 30 dage.',
    topCallers: 'Flest opkald', unknownCallers: 'Ukendte numre',
    noRows: 'Ingen de seneste 30 dage.', unknown: 'Ukendt', unknownNumber: 'Ukendt nummer',
    noNumber: 'Intet nummer', named: 'opslag', namedTitle: 'Navngivet af nummeropslaget',
    today: 'I dag', unrecognizedHint: 'Ikke i kontakterne endnu: giv nummeret et navn.',
    failed: 'Noget gik galt: ', lastCall: 'Seneste:',
    rings: (n) => (n === 1 ? '1 ringning' : `${n} ringninger`),
    callCount: (n) => `${n} opkald`,
    callsTotal: (n) => `Opkald i alt: ${n}`,
  },
};
const lang = /^da\b/i.test(navigator.language || '') ? 'da' : 'en';
const t = (key, n) => {
  const text = texts[lang][key];
  return typeof text === 'function' ? text(n) : text;
};
const fieldNames = ['name', 'home', 'mobile', 'work', 'fax', 'email'];
const phoneFields = ['home', 'mobile', 'work', 'fax'];

const $ = (id) => document.getElementById(id);
function el(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function translate() {
  document.documentElement.lang = lang;
  for (const node of document.querySelectorAll('[data-t]')) node.textContent = t(node.dataset.t);
  for (const node of document.querySelectorAll('[data-t-placeholder]')) {
    node.placeholder = t(node.dataset.tPlaceholder);
    node.setAttribute('aria-label', node.placeholder);
  }
}

// --- the server -------------------------------------------------------------------------

let token = '';

class LoginNeeded extends Error {}

// GET without a body, POST with one (and the session's token). A lost session goes to
// the login page; any other refusal throws the server's reason.
async function api(path, body) {
  const init = body === undefined ? {} : {
    method: 'POST',
    headers: {'Content-Type': 'application/json', 'X-Ringwise-Token': token},
    body: JSON.stringify(body),
  };
  const response = await fetch(path, init);
  if (response.status === 401) {
    location.assign('/login');
    throw new LoginNeeded();
  }
  const data = await response.json().catch(() => ({}));
  if (!response.ok) throw new Error(data.error || `${response.status} ${response.statusText}`);
  return data;
}

function showError(error) {
  if (error instanceof LoginNeeded) return;
  $('error').textContent = t('failed') + error.message;
  $('error').hidden = false;
}

// --- calls ------------------------------------------------------------------------------

// "2026-12-07 12:34:56" as stored, in the server's local time.
function shortTime(stored) {
  const [date, time = ''] = String(stored).split(' ');
  const now = new Date();
  const today = [now.getFullYear(), now.getMonth() + 1, now.getDate()]
    .map((part) => String(part).padStart(2, '0')).join('-');
  return `${date === today ? t('today') : date} ${time.slice(0, 5)}`;
}

function callItem(call) {
  const item = el('li', 'call');
  item.dataset.id = call.id;
  fillCall(item, call);
  return item;
}

function fillCall(item, call) {
  const who = el(call.contactId ? 'a' : 'span', 'who');
  if (call.contactId) who.href = `#contacts/${call.contactId}`;
  const name = el('span', 'name', call.name || call.number || t('noNumber'));
  who.append(name);
  if (call.named) {
    const mark = el('span', 'mark', t('named'));
    mark.title = t('namedTitle');
    name.append(' ', mark);
  }
  who.append(el('span', 'number', call.name ? call.number : t('unknown')));
  const when = el('time', 'when', shortTime(call.time));
  when.title = call.time;
  item.replaceChildren(who, when, el('span', 'rings', t('rings', call.rings)));
  addBlockButton(item, call);
}

const shownCalls = new Map();  // call id -> {call, item} on the calls page
let olderThan = null;
let callsStale = false;
let callsLoaded = false;
let lastCaller = null;
const liveCalls = [];  // the latest calls from the socket, newest last

async function loadCalls(before) {
  const data = await api(before ? `/api/calls?before=${before}` : '/api/calls');
  if (!before) {
    shownCalls.clear();
    $('call-list').replaceChildren();
    callsStale = false;
    callsLoaded = true;
  }
  for (const call of data.calls) addCall(call, false);
  // A call that came live while the page was on its way is newer than the page.
  if (!before) {
    const newest = data.calls.length ? data.calls[0].id : 0;
    for (const call of liveCalls) if (call.id > newest) addCall(call, true);
  }
  olderThan = data.older;
  $('older').hidden = olderThan === null || olderThan === undefined;
  $('no-calls').hidden = shownCalls.size > 0;
}

function addCall(call, atTop) {
  if (shownCalls.has(call.id)) return;
  const item = callItem(call);
  shownCalls.set(call.id, {call, item});
  if (atTop) $('call-list').prepend(item); else $('call-list').append(item);
  $('no-calls').hidden = true;
}

function updateCall(id, change) {
  const shown = shownCalls.get(id);
  if (!shown) return;
  Object.assign(shown.call, change);
  fillCall(shown.item, shown.call);
}

// --- the tab in the background ----------------------------------------------------------

function title() {
  return `${t(currentView())} · Ringwise`;
}

// A red disc with the caller's initials (or a number's last two digits) as the favicon.
function callerIcon(who) {
  const words = who.match(/[\p{L}\p{N}]+/gu) || ['?'];
  const initials = /^\d+$/.test(words.join(''))
    ? words.join('').slice(-2)
    : words.slice(0, 2).map((word) => [...word][0].toUpperCase()).join('');
  const svg = '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 64 64">' +
    '<circle cx="32" cy="32" r="31" fill="#c62828"/><text x="32" y="43" fill="#fff" ' +
    'font-family="sans-serif" font-size="30" font-weight="bold" text-anchor="middle">' +
    `${initials}</text></svg>`;
  return `data:image/svg+xml,${encodeURIComponent(svg)}`;
}

function showCallerInTab() {
  if (document.visibilityState !== 'hidden' || !lastCaller) return;
  const who = lastCaller.name || lastCaller.number || t('noNumber');
  document.title = `☎ ${who} · Ringwise`;
  $('favicon').href = callerIcon(who);
}

document.addEventListener('visibilitychange', () => {
  if (document.visibilityState !== 'visible') return;
  document.title = title();
  $('favicon').href = '/icon.svg';
});

// --- live events ------------------------------------------------------------------------

function onEvent(event) {
  if (event.type === 'call') {
    addCall(event.call, true);
    liveCalls.push(event.call);
    if (liveCalls.length > 50) liveCalls.shift();
    lastCaller = event.call;
    showCallerInTab();
  } else if (event.type === 'ring') {
    updateCall(event.callId, {rings: event.rings});
  } else if (event.type === 'naming') {
    updateCall(event.callId, {name: event.name, contactId: event.contactId, named: true});
    if (lastCaller && lastCaller.id === event.callId) {
      lastCaller = {...lastCaller, name: event.name};
      showCallerInTab();
    }
  }
}

let retryDelay = 1000;

function setLive(state) {
  $('live').textContent = t(state);
  $('live').className = `live is-${state}`;
}

// The first page of calls is loaded each time the socket opens, so no call between a
// drop and the new connection is missed.
function connect() {
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  const socket = new WebSocket(`${scheme}//${location.host}/events`);
  let opened = false;
  socket.onopen = () => {
    opened = true;
    retryDelay = 1000;
    setLive('live');
    loadCalls().catch(showError);
  };
  socket.onmessage = (message) => onEvent(JSON.parse(message.data));
  socket.onclose = () => {
    setLive('offline');
    // Without the live socket the page still shows the calls, once.
    if (!opened && !callsLoaded) loadCalls().catch(showError);
    setTimeout(reconnect, retryDelay);
    retryDelay = Math.min(retryDelay * 2, 30000);
  };
}

// A session that has ended goes to the login page instead of knocking forever.
async function reconnect() {
  try {
    await api('/api/session');
  } catch (error) {
    if (error instanceof LoginNeeded) return;
  }
  connect();
}

// --- contacts ---------------------------------------------------------------------------

let searchSerial = 0;
let searchTimer = 0;
let shownContact = null;  // {contact, lastCalls} on the card, or {contact: null} for a new one

// An unrecognised contact is known by its number.
function contactLabel(contact) {
  return contact.name || contact.number || t('unknownNumber');
}

// The line under a contact's name in the list: its first number.
function contactDetail(contact) {
  if (!contact.name) return t('unknownNumber');
  return phoneFields.map((field) => contact[field]).find(Boolean) || contact.number ||
    contact.email || '';
}

async function search() {
  const serial = ++searchSerial;
  const data = await api(`/api/contacts?q=${encodeURIComponent($('q').value)}`);
  if (serial !== searchSerial) return;
  $('contact-list').replaceChildren(...data.contacts.map((contact) => {
    const link = el('a', 'who');
    link.href = `#contacts/${contact.id}`;
    link.append(el('span', 'name', contactLabel(contact)),
      el('span', 'number', contactDetail(contact)));
    const item = el('li');
    item.dataset.id = contact.id;
    item.append(link);
    return item;
  }));
  $('no-contacts').hidden = data.contacts.length > 0;
  markSelected();
}

function markSelected() {
  const id = shownContact && shownContact.contact ? String(shownContact.contact.id) : '';
  for (const item of $('contact-list').children)
    item.classList.toggle('selected', item.dataset.id === id);
}

function showContacts(id) {
  $('contacts-view').querySelector('.split').classList.toggle('has-card', Boolean(id));
  $('card').hidden = !id;
  if (!$('contact-list').hasChildNodes()) search().catch(showError);
  if (id === 'new') {
    shownContact = {contact: null, lastCalls: []};
    fillCard();
    openEditor();
  } else if (id) {
    api(`/api/contacts/${encodeURIComponent(id)}`)
      .then((data) => {
        shownContact = data;
        fillCard();
        if (data.contact.unrecognized) openEditor(); else closeEditor();
      })
      .catch(showError);
  } else {
    shownContact = null;
    markSelected();
  }
}

function fillCard() {
  const {contact, lastCalls} = shownContact;
  $('card-name').textContent = contact ? contactLabel(contact) : t('newContact');
  $('card-kind').hidden = !(contact && contact.unrecognized);
  const fields = [];
  for (const field of contact ? [...phoneFields, 'email'] : []) {
    if (!contact[field]) continue;
    const link = el('a', null, contact[field]);
    link.href = (field === 'email' ? 'mailto:' : 'tel:') + contact[field];
    const value = el('dd');
    value.append(link);
    fields.push(el('dt', null, t(field)), value);
  }
  $('card-fields').replaceChildren(...fields);
  $('card-total').textContent = contact ? t('callsTotal', shownContact.callsTotal) : '';
  $('edit').textContent = contact && contact.unrecognized ? t('nameIt') : t('edit');
  $('edit').hidden = !contact;
  $('card-calls').replaceChildren(...lastCalls.map(callItem));
  $('card-calls').previousElementSibling.hidden = lastCalls.length === 0;
  markSelected();
}

// Saving a name on an unrecognised number makes it a contact; the server keeps the number.
function openEditor() {
  const contact = shownContact.contact || {};
  const form = $('editor');
  for (const field of fieldNames) form.elements[field].value = contact[field] || '';
  $('editor-error').hidden = true;
  form.hidden = false;
  $('edit').hidden = true;
  form.elements.name.focus();
}

function closeEditor() {
  $('editor').hidden = true;
  $('edit').hidden = !shownContact || !shownContact.contact;
}

async function save(submit) {
  submit.preventDefault();
  const form = $('editor');
  const body = {};
  for (const field of fieldNames) body[field] = form.elements[field].value;
  const id = shownContact.contact ? shownContact.contact.id : 'new';
  try {
    const data = await api(`/api/contacts/${id}`, body);
    callsStale = true;
    search().catch(showError);
    if (location.hash === `#contacts/${data.contact.id}`) showContacts(String(data.contact.id));
    else location.hash = `#contacts/${data.contact.id}`;
  } catch (error) {
    if (error instanceof LoginNeeded) return;
    $('editor-error').textContent = error.message;
    $('editor-error').hidden = false;
  }
}

// --- statistics -------------------------------------------------------------------------

function rankingItem(row, label, detail, count) {
  const link = el('a', 'who');
  link.href = `#contacts/${row.contactId}`;
  link.append(el('span', 'name', label), el('span', 'number', detail));
  const item = el('li');
  item.append(link, el('span', 'count', t('callCount', count)));
  return item;
}

function fillRanking(list, items) {
  list.replaceChildren(...(items.length ? items : [el('li', 'empty', t('noRows'))]));
}

async function loadStats() {
  const data = await api('/api/stats');
  fillRanking($('top'), data.top.map((row) =>
    rankingItem(row, row.name || row.number, row.name ? row.number : '', row.calls)));
  fillRanking($('unknown'), data.unknown.map((row) =>
    rankingItem(row, row.number || t('noNumber'), `${t('lastCall')} ${shortTime(row.last)}`,
      row.calls)));
}

// --- block list, import and export ------------------------------------------------------

Object.assign(texts.en, {
  blockList: 'Block list', noBlocked: 'No numbers are blocked.',
  blockNumberHint: 'Number or prefix*', blockNoteHint: 'Note', block: 'Block',
  blocked: 'Blocked', remove: 'Remove', importExport: 'Import and export',
  importReplace: 'Replace differing names and e-mails', importCheck: 'Check',
  importRun: 'Import', exportVcf: 'Export as vCard', exportCsv: 'Export as CSV',
  tooLarge: 'The file is larger than 64 KiB: import it with ringwise-server --import FILE.',
  added: 'Added', lastBlocked: 'last blocked',
  blockedCalls: (n) => (n === 1 ? '1 blocked call' : `${n} blocked calls`),
});
Object.assign(texts.da, {
  blockList: 'Blokerede numre', noBlocked: 'Ingen numre er blokeret.',
  blockNumberHint: 'Nummer eller præfiks*', blockNoteHint: 'Note', block: 'Blokér',
  blocked: 'Blokeret', remove: 'Fjern', importExport: 'Import og eksport',
  importReplace: 'Erstat afvigende navne og e-mails', importCheck: 'Kontrollér',
  importRun: 'Importér', exportVcf: 'Eksportér som vCard', exportCsv: 'Eksportér som CSV',
  tooLarge: 'Filen er større end 64 KiB: importér den med ringwise-server --import FIL.',
  added: 'Tilføjet', lastBlocked: 'senest blokeret',
  blockedCalls: (n) => (n === 1 ? '1 blokeret opkald' : `${n} blokerede opkald`),
});

async function loadBlocked() {
  const data = await api('/api/blocked');
  $('blocked-list').replaceChildren(...data.entries.map((entry) => {
    const who = el('span', 'who');
    const details = [entry.note, entry.added && `${t('added')} ${shortTime(entry.added)}`,
      t('blockedCalls', entry.blockedCalls),
      entry.lastBlocked && `${t('lastBlocked')} ${shortTime(entry.lastBlocked)}`];
    who.append(el('span', 'name', entry.number),
      el('span', 'number', details.filter(Boolean).join(' · ')));
    const item = el('li');
    item.dataset.number = entry.number;
    item.append(who);
    // BlockWithheld's entry has no date and goes with the setting, not from here.
    if (entry.added) {
      const remove = el('button', 'quiet', t('remove'));
      remove.type = 'button';
      remove.addEventListener('click', () => changeBlocked('/api/blocked/remove',
        {number: entry.number}));
      item.append(remove);
    }
    return item;
  }));
  $('no-blocked').hidden = data.entries.length > 0;
}

async function changeBlocked(path, body) {
  try {
    await api(path, body);
    $('block-error').hidden = true;
    await loadBlocked();
    return true;
  } catch (error) {
    if (error instanceof LoginNeeded) return false;
    $('block-error').textContent = error.message;
    $('block-error').hidden = false;
    return false;
  }
}

// A "Block" button on a call of the list; the number goes on the block list without a note.
function addBlockButton(item, call) {
  if (!call.number) return;
  const button = el('button', 'quiet block', t('block'));
  button.type = 'button';
  button.addEventListener('click', () => {
    api('/api/blocked', {number: call.number, note: ''})
      .then(() => {
        button.textContent = t('blocked');
        button.disabled = true;
      })
      .catch(showError);
  });
  item.append(button);
}

// The file goes as it is; "Check" is a dry run and lets "Import" do the same for real.
async function importFile(dryRun) {
  const file = $('import-file').files[0];
  if (!file) return;
  const query = `?dryRun=${dryRun ? 1 : 0}&replace=${$('import-replace').checked ? 1 : 0}`;
  const summary = $('import-summary');
  summary.hidden = false;
  $('import-run').disabled = true;
  // The server answers a larger body with 413, but may close before the browser has sent it.
  if (file.size > 64 * 1024) {
    summary.textContent = t('tooLarge');
    return;
  }
  const response = await fetch(`/api/import${query}`, {
    method: 'POST', headers: {'X-Ringwise-Token': token}, body: file,
  });
  if (response.status === 401) {
    location.assign('/login');
    return;
  }
  if (response.status === 413) {
    summary.textContent = t('tooLarge');
    return;
  }
  const data = await response.json().catch(() => ({}));
  summary.textContent = data.text || data.error || `${response.status} ${response.statusText}`;
  if (!response.ok) return;
  $('import-run').disabled = !dryRun || Boolean(data.failure);
  if (!dryRun && !data.failure) {
    callsStale = true;
    search().catch(showError);
  }
}

function startBlockAndBook() {
  $('block-form').addEventListener('submit', async (submit) => {
    submit.preventDefault();
    const form = $('block-form');
    const body = {number: form.elements.number.value, note: form.elements.note.value};
    if (await changeBlocked('/api/blocked', body)) form.reset();
  });
  $('import-file').addEventListener('change', () => {
    $('import-run').disabled = true;
    $('import-summary').hidden = true;
  });
  $('import-check').addEventListener('click', () => importFile(true).catch(showError));
  $('import-run').addEventListener('click', () => importFile(false).catch(showError));
  window.addEventListener('hashchange', () => {
    if (currentView() === 'contacts') loadBlocked().catch(showError);
  });
  if (currentView() === 'contacts') loadBlocked().catch(showError);
}

// --- views ------------------------------------------------------------------------------

const views = ['calls', 'contacts', 'stats'];

function currentView() {
  const view = location.hash.slice(1).split('/')[0];
  return views.includes(view) ? view : 'calls';
}

function route() {
  const view = currentView();
  const argument = location.hash.slice(1).split('/')[1];
  for (const name of views) $(`${name}-view`).hidden = name !== view;
  for (const link of document.querySelectorAll('nav a')) {
    if (link.dataset.view === view) link.setAttribute('aria-current', 'page');
    else link.removeAttribute('aria-current');
  }
  $('error').hidden = true;
  document.title = title();
  if (view === 'contacts') showContacts(argument);
  else if (view === 'stats') loadStats().catch(showError);
  else if (callsStale) loadCalls().catch(showError);
}

async function start() {
  translate();
  window.addEventListener('hashchange', route);
  $('older').addEventListener('click', () => loadCalls(olderThan).catch(showError));
  $('q').addEventListener('input', () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(() => search().catch(showError), 150);
  });
  $('search').addEventListener('submit', (submit) => {
    submit.preventDefault();
    search().catch(showError);
  });
  $('new-contact').addEventListener('click', () => { location.hash = '#contacts/new'; });
  $('edit').addEventListener('click', openEditor);
  $('cancel').addEventListener('click', () => {
    if (shownContact.contact) closeEditor(); else location.hash = '#contacts';
  });
  $('editor').addEventListener('submit', save);
  $('logout').addEventListener('click', async () => {
    await fetch('/logout', {method: 'POST', headers: {'X-Ringwise-Token': token}});
    location.assign('/login');
  });
  try {
    const session = await api('/api/session');
    token = session.token;
    $('open-notice').hidden = session.passwordSet;
    $('logout').hidden = !session.passwordSet;
  } catch (error) {
    showError(error);
    return;
  }
  route();
  startBlockAndBook();
  connect();
}

start();
