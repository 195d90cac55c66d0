// Keeps the site for offline play. Each build has its own cache: this worker fills it on
// install (the page has already put the program there, and the rest is revalidated, so a first
// visit downloads nothing twice), serves from it first, and drops older builds' caches once it
// has taken over.
const cacheName = 'norbatika-@NORBATIKA_BUILD@';
const files = ['index.html', 'page.js', 'page.css', 'manifest.webmanifest', 'norbatika.js',
               'norbatika.wasm', 'norbatika.ttf', 'norbatika-192.png', 'norbatika-512.png'];

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(cacheName);
    for (const file of files) {
      // Revalidated, so a stale HTTP cache cannot put an older build's file under this name.
      if (!(await cache.match(file))) await cache.add(new Request(file, { cache: 'no-cache' }));
    }
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith('norbatika-') && name !== cacheName) await caches.delete(name);
    }
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(cacheName);
    const kept = (await cache.match(request, { ignoreSearch: true })) ||
                 (request.mode === 'navigate' ? await cache.match('index.html') : undefined);
    return kept || fetch(request);
  })());
});
