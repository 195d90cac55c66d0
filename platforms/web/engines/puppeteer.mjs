// What Chromium and Firefox share: puppeteer-core drives both, Chromium over its DevTools
// protocol and Firefox over WebDriver BiDi, so one tab serves the two.
import puppeteer from 'puppeteer-core';

export async function launchWith(options) {
  const browser = await puppeteer.launch({ protocolTimeout: 60000, ...options });
  const version = await browser.version();
  return {
    version: version.replace(/^(\w+)\/(\d+).*$/, (_, name, major) => `${name} ${major}`),
    pid: browser.process().pid,
    // A tab with a storage of its own, or in the browser's own profile (`kept`).
    async open({ width = 1280, height = 800, scale = 1, touch = false, kept = false } = {}) {
      const context = kept ? browser.defaultBrowserContext() : await browser.createBrowserContext();
      const page = await context.newPage();
      await page.setViewport({ width, height, deviceScaleFactor: scale, isMobile: touch,
                               hasTouch: touch });
      return {
        page,
        goto: (url) => page.goto(url),
        reload: () => page.reload(),
        evaluate: (script, ...args) => page.evaluate(script, ...args),
        key: (type, key) => page.keyboard[type](key),
        touch: (type, x, y) => (type === 'down' ? page.touchscreen.touchStart(x, y)
                                                : page.touchscreen.touchEnd()),
        click: (x, y) => page.mouse.click(x, y),
        screenshot: (path) => page.screenshot({ path }),
        close: () => (kept ? page.close() : context.close()),
      };
    },
    close: () => browser.close(),
  };
}
