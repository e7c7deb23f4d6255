import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, it } from 'node:test';

import {
  HostUnavailableError,
  init,
  isHostAvailable,
  onExtensionMessage,
  sendExtensionMessage,
  setFullscreen,
  setWindowPosition,
  setWindowSize,
} from '../index.js';

// Plays window.chrome.webview: records what the page posts, delivers what the
// host sends as parsed `data`, always on a later turn as the real one does.
class FakeWebView extends EventTarget {
  sent = [];
  listeners = 0;
  answerInit = null;  // ids to answer "wrapper-init" with, or null for no answer

  postMessage(value) {
    this.sent.push(value);
    if (this.answerInit && value === '{"type":"wrapper-init"}') {
      this.hostSends({ registeredComponentIds: this.answerInit, type: 'wrapper-init-response' });
    }
  }

  addEventListener(type, listener) {
    this.listeners += 1;
    super.addEventListener(type, listener);
  }

  removeEventListener(type, listener) {
    this.listeners -= 1;
    super.removeEventListener(type, listener);
  }

  hostSends(data) {
    setTimeout(() => this.dispatchEvent(new MessageEvent('message', { data })), 0);
  }
}

const turn = () => new Promise((resolve) => setTimeout(resolve, 5));

let webview;
beforeEach(() => {
  webview = new FakeWebView();
  globalThis.chrome = { webview };
});
afterEach(() => {
  delete globalThis.chrome;
});

describe('outside the host', () => {
  beforeEach(() => {
    delete globalThis.chrome;
  });

  it('reports the host as unavailable', () => {
    assert.equal(isHostAvailable(), false);
    globalThis.chrome = {};
    assert.equal(isHostAvailable(), false);
  });

  it('rejects init with an error naming window.chrome.webview', async () => {
    await assert.rejects(init(), (error) => error instanceof HostUnavailableError && /window\.chrome\.webview/.test(error.message));
  });

  const calls = {
    setFullscreen: () => setFullscreen(true),
    setWindowSize: () => setWindowSize(800, 600),
    setWindowPosition: () => setWindowPosition(10, 10),
    sendExtensionMessage: () => sendExtensionMessage({ text: 'hi' }),
    onExtensionMessage: () => onExtensionMessage(() => {}),
  };
  for (const [name, call] of Object.entries(calls)) {
    it(`${name} throws HostUnavailableError`, () => {
      assert.throws(call, HostUnavailableError);
    });
  }
});

describe('init', () => {
  it('posts wrapper-init as a JSON string and resolves with the registered ids', async () => {
    webview.answerInit = ['a', 'b'];
    assert.deepEqual(await init(), ['a', 'b']);
    assert.deepEqual(webview.sent, ['{"type":"wrapper-init"}']);
    assert.equal(webview.listeners, 0);
  });

  it('resolves with an empty list when no extension is registered', async () => {
    webview.answerInit = [];
    assert.deepEqual(await init(), []);
  });

  it('waits past other messages for the response', async () => {
    const pending = init();
    webview.hostSends({ type: 'extension-reply' });
    webview.hostSends('just a string');
    webview.hostSends(['wrapper-init-response']);
    webview.hostSends({ registeredComponentIds: ['x'], type: 'wrapper-init-response' });
    assert.deepEqual(await pending, ['x']);
  });

  it('serves two callers waiting at once', async () => {
    webview.answerInit = ['x'];
    assert.deepEqual(await Promise.all([init(), init()]), [['x'], ['x']]);
    assert.equal(webview.listeners, 0);
  });

  it('rejects when the host stays silent, and stops listening', async () => {
    await assert.rejects(init({ timeoutMs: 20 }), (error) => error instanceof HostUnavailableError && /20 ms/.test(error.message));
    assert.equal(webview.listeners, 0);
  });

  it('waits without limit when the time-out is 0', async () => {
    const pending = init({ timeoutMs: 0 });
    setTimeout(() => webview.hostSends({ registeredComponentIds: [], type: 'wrapper-init-response' }), 40);
    assert.deepEqual(await pending, []);
  });

  for (const timeoutMs of [-1, NaN, '100', null]) {
    it(`refuses the time-out ${String(timeoutMs)}`, async () => {
      await assert.rejects(init({ timeoutMs }), TypeError);
      assert.deepEqual(webview.sent, []);
    });
  }

  it('passes on a failing postMessage and stops listening', async () => {
    webview.postMessage = () => { throw new Error('refused'); };
    await assert.rejects(init(), /refused/);
    assert.equal(webview.listeners, 0);
  });
});

describe('window requests', () => {
  const sends = [
    [() => setFullscreen(true), '{"type":"set-fullscreen","fullscreen":true}'],
    [() => setFullscreen(false), '{"type":"set-fullscreen","fullscreen":false}'],
    [() => setWindowSize(800, 600), '{"type":"set-window-size","windowWidth":800,"windowHeight":600}'],
    [() => setWindowSize(1, 2147483647), '{"type":"set-window-size","windowWidth":1,"windowHeight":2147483647}'],
    [() => setWindowPosition(-100, 50), '{"type":"set-window-position","windowX":-100,"windowY":50}'],
    [() => setWindowPosition(0, -2147483648), '{"type":"set-window-position","windowX":0,"windowY":-2147483648}'],
  ];
  for (const [call, expected] of sends) {
    it(`sends ${expected}`, () => {
      call();
      assert.deepEqual(webview.sent, [expected]);
    });
  }

  // Values the host would misread (a non-boolean flag reads as false) or ignore.
  const refusals = [
    ['setFullscreen(1)', () => setFullscreen(1), TypeError],
    ['setFullscreen("true")', () => setFullscreen('true'), TypeError],
    ['setFullscreen()', () => setFullscreen(), TypeError],
    ['setWindowSize(0, 600)', () => setWindowSize(0, 600), RangeError],
    ['setWindowSize(800, -1)', () => setWindowSize(800, -1), RangeError],
    ['setWindowSize(0.5, 600)', () => setWindowSize(0.5, 600), RangeError],
    ['setWindowSize(2 ** 31, 600)', () => setWindowSize(2 ** 31, 600), RangeError],
    ['setWindowSize("800", 600)', () => setWindowSize('800', 600), TypeError],
    ['setWindowSize(NaN, 600)', () => setWindowSize(NaN, 600), TypeError],
    ['setWindowSize(800)', () => setWindowSize(800), TypeError],
    ['setWindowPosition(Infinity, 0)', () => setWindowPosition(Infinity, 0), TypeError],
    ['setWindowPosition(0, -(2 ** 31) - 1)', () => setWindowPosition(0, -(2 ** 31) - 1), RangeError],
    ['setWindowPosition(0, 10n)', () => setWindowPosition(0, 10n), TypeError],
  ];
  for (const [name, call, kind] of refusals) {
    it(`refuses ${name} and sends nothing`, () => {
      assert.throws(call, kind);
      assert.deepEqual(webview.sent, []);
    });
  }
});

describe('sendExtensionMessage', () => {
  it('adds the type and sends the object as a JSON string', () => {
    const message = { text: 'hi', nested: { n: 1 } };
    sendExtensionMessage(message);
    assert.deepEqual(webview.sent, ['{"type":"extension-message","text":"hi","nested":{"n":1}}']);
    assert.deepEqual(message, { text: 'hi', nested: { n: 1 } });
  });

  it('accepts an object that already carries the type', () => {
    sendExtensionMessage({ type: 'extension-message', text: 'hi' });
    assert.deepEqual(webview.sent, ['{"type":"extension-message","text":"hi"}']);
  });

  const refusals = [['an array', []], ['null', null], ['a string', 'hi'], ['another type', { type: 'set-fullscreen' }]];
  for (const [name, message] of refusals) {
    it(`refuses ${name}`, () => {
      assert.throws(() => sendExtensionMessage(message), TypeError);
      assert.deepEqual(webview.sent, []);
    });
  }
});

describe('onExtensionMessage', () => {
  it('delivers what extensions send, but not the init response', async () => {
    const received = [];
    onExtensionMessage((message) => received.push(message));
    webview.hostSends({ type: 'extension-reply', n: 1 });
    webview.hostSends({ registeredComponentIds: [], type: 'wrapper-init-response' });
    webview.hostSends(42);
    webview.hostSends(['a']);
    await turn();
    assert.deepEqual(received, [{ type: 'extension-reply', n: 1 }, 42, ['a']]);
  });

  it('stops delivering after unsubscribing, and unsubscribing twice is harmless', async () => {
    const received = [];
    const unsubscribe = onExtensionMessage((message) => received.push(message));
    webview.hostSends(1);
    await turn();
    unsubscribe();
    unsubscribe();
    webview.hostSends(2);
    await turn();
    assert.deepEqual(received, [1]);
  });

  it('serves each subscriber', async () => {
    const first = [];
    const second = [];
    onExtensionMessage((message) => first.push(message));
    onExtensionMessage((message) => second.push(message));
    webview.hostSends('x');
    await turn();
    assert.deepEqual([first, second], [['x'], ['x']]);
  });

  it('refuses a callback that is not a function', () => {
    assert.throws(() => onExtensionMessage('not a function'), TypeError);
  });
});
