'use strict';
// The login form in the browser's language, with the reason the last try was refused.

const texts = {
  en: {
    title: 'Ringwise', password: 'Password', logIn: 'Log in', failed: 'Wrong password.',
    throttled: 'Too many wrong passwords. Wait a minute and try again.',
  },
  da: {
    title: 'Ringwise', password: 'Adgangskode', logIn: 'Log ind',
    failed: 'Forkert adgangskode.',
    throttled: 'For mange forkerte adgangskoder. Vent et minut, og prøv igen.',
  },
};
const lang = /^da\b/i.test(navigator.language || '') ? 'da' : 'en';
document.documentElement.lang = lang;
for (const node of document.querySelectorAll('[data-t]'))
  node.textContent = texts[lang][node.dataset.t];
document.title = `${texts[lang].logIn} · Ringwise`;

const query = new URLSearchParams(location.search);
document.getElementById('failed').hidden = !query.has('failed');
document.getElementById('throttled').hidden = !query.has('throttled');
