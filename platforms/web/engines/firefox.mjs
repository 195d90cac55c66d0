// Debian's Firefox ESR over WebDriver BiDi, in a real window (DISPLAY), where it has WebGL, with
// the sound server of PULSE_SERVER. Touch is a preference of the whole browser, so a touch screen
// is a browser launched as one.
import { launchWith } from './puppeteer.mjs';

export const touch = 'browser';

export function launch({ profile, touch = false }) {
  // A coarse pointer that cannot hover, and touch events, as a phone has.
  const coarse = touch ? { 'ui.primaryPointerCapabilities': 1, 'ui.allPointerCapabilities': 1,
                           'dom.maxtouchpoints.testing.value': 5,
                           'dom.w3c_touch_events.enabled': 1 } : {};
  return launchWith({
    browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: false,
    userDataDir: profile, extraPrefsFirefox: coarse });
}
