// Debian's Chromium, headless, over its DevTools protocol. A touch screen is the page's own
// emulation; the tab can also ask Chromium whether the page is installable.
import { launchWith } from './puppeteer.mjs';

export const touch = 'page';

export async function launch({ profile }) {
  const browser = await launchWith({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--enable-unsafe-swiftshader'] });
  const open = browser.open;
  browser.open = async (options) => {
    const tab = await open(options);
    tab.installable = async () => {
      const devtools = await tab.page.createCDPSession();
      const manifest = await devtools.send('Page.getAppManifest');
      const { installabilityErrors } = await devtools.send('Page.getInstallabilityErrors');
      return [...manifest.errors, ...installabilityErrors];
    };
    return tab;
  };
  return browser;
}
