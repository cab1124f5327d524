// Keeps the page working offline once it has been loaded: the site's own
// files are cached on install, and every request goes to the network first,
// falling back to the cache when there is none.
const cacheName = 'gyrotrail-v1';
const files = ['./', './index.html', './main.js', './style.css', './capture-worklet.js', './gyrotrail.mjs', './gyrotrail.wasm'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(cacheName).then((cache) => cache.addAll(files)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== cacheName).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(fetch(request).then((response) => {
    if (response.ok) {
      const copy = response.clone();
      caches.open(cacheName).then((cache) => cache.put(request, copy));
    }
    return response;
  }).catch(async () => (await caches.match(request, { ignoreSearch: true })) ?? Response.error()));
});
