// The page's side of the Quillframe host protocol.
//
// The host reads only string messages, so every request goes out as a JSON text
// (JSON.stringify). The host's own messages arrive already parsed, as the `data`
// of `message` events on window.chrome.webview.

const INIT_RESPONSE = 'wrapper-init-response';
const DEFAULT_INIT_TIMEOUT_MS = 5000;
const INT32_MIN = -2147483648;
const INT32_MAX = 2147483647;

export class HostUnavailableError extends Error {
  constructor(message) {
    super(message);
    this.name = 'HostUnavailableError';
  }
}

function isObject(value) {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

// Looked up at every call: the page library may load before the host injects it.
function channel() {
  const webview = globalThis.chrome?.webview;
  if (!webview || typeof webview.postMessage !== 'function' || typeof webview.addEventListener !== 'function') {
    throw new HostUnavailableError(
      'window.chrome.webview is missing: this page is not running inside the Quillframe host');
  }
  return webview;
}

function post(message) {
  channel().postMessage(JSON.stringify(message));
}

// The host reads numbers as 32-bit integers, dropping any fraction; a value
// outside that range would arrive as a different number.
function checkInt32(name, value) {
  if (typeof value !== 'number' || !Number.isFinite(value)) {
    throw new TypeError(`${name} must be a finite number, not ${String(value)}`);
  }
  const whole = Math.trunc(value);
  if (whole < INT32_MIN || whole > INT32_MAX) {
    throw new RangeError(`${name} must lie within the 32-bit integer range, not ${value}`);
  }
  return whole;
}

// The host ignores a size of 0 or less, so such a call would do nothing at all.
function checkSize(name, value) {
  const whole = checkInt32(name, value);
  if (whole < 1) throw new RangeError(`${name} must be at least 1 pixel, not ${value}`);
  return value;
}

export function isHostAvailable() {
  try {
    channel();
    return true;
  } catch {
    return false;
  }
}

// Introduces the page to the host; resolves with the registered component ids.
// The host stays silent towards documents outside the app's origin, hence the
// time-out (0 or Infinity: wait for ever).
export function init({ timeoutMs = DEFAULT_INIT_TIMEOUT_MS } = {}) {
  return new Promise((resolve, reject) => {
    if (typeof timeoutMs !== 'number' || Number.isNaN(timeoutMs) || timeoutMs < 0) {
      throw new TypeError(`timeoutMs must be a number of 0 or more, not ${String(timeoutMs)}`);
    }
    const webview = channel();
    let timer;
    const finish = () => {
      webview.removeEventListener('message', onMessage);
      clearTimeout(timer);
    };
    function onMessage(event) {
      const data = event.data;
      if (!isObject(data) || data.type !== INIT_RESPONSE) return;
      finish();
      resolve(Array.isArray(data.registeredComponentIds) ? [...data.registeredComponentIds] : []);
    }
    webview.addEventListener('message', onMessage);
    if (timeoutMs > 0 && Number.isFinite(timeoutMs)) {
      timer = setTimeout(() => {
        finish();
        reject(new HostUnavailableError(
          `the host did not answer "wrapper-init" within ${timeoutMs} ms; ` +
          "it answers only documents served from the app's own origin"));
      }, timeoutMs);
    }
    try {
      webview.postMessage(JSON.stringify({ type: 'wrapper-init' }));
    } catch (error) {
      finish();
      throw error;
    }
  });
}

export function setFullscreen(fullscreen) {
  if (typeof fullscreen !== 'boolean') {
    throw new TypeError(`fullscreen must be true or false, not ${String(fullscreen)}`);
  }
  post({ type: 'set-fullscreen', fullscreen });
}

// The client area's size in logical pixels (96 per inch); ignored in full screen.
export function setWindowSize(width, height) {
  post({ type: 'set-window-size', windowWidth: checkSize('width', width), windowHeight: checkSize('height', height) });
}

// The window's top-left corner in logical screen pixels; ignored in full screen.
export function setWindowPosition(x, y) {
  checkInt32('x', x);
  checkInt32('y', y);
  post({ type: 'set-window-position', windowX: x, windowY: y });
}

// Sends an object to the native extension library, which receives the JSON text
// with "type": "extension-message" added.
export function sendExtensionMessage(message) {
  if (!isObject(message)) throw new TypeError('an extension message must be a plain object');
  if ('type' in message && message.type !== 'extension-message') {
    throw new TypeError(
      `an extension message's "type" is always "extension-message"; ` +
      `tell your messages apart by another member, not "type": ${JSON.stringify(message.type)}`);
  }
  post({ type: 'extension-message', ...message });
}

// Calls back with every message the host relays from the extension library.
// Returns a function that ends the subscription.
export function onExtensionMessage(callback) {
  if (typeof callback !== 'function') throw new TypeError('callback must be a function');
  const webview = channel();
  const listener = (event) => {
    const data = event.data;
    if (isObject(data) && data.type === INIT_RESPONSE) return;
    callback(data);
  };
  webview.addEventListener('message', listener);
  return () => webview.removeEventListener('message', listener);
}
