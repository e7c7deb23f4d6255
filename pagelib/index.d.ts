// Types of the page's side of the Quillframe host protocol.

/** Thrown when window.chrome.webview is missing, or when the host does not answer "wrapper-init". */
export declare class HostUnavailableError extends Error {
  constructor(message: string);
}

export interface InitOptions {
  /** How long to wait for the host's answer; 0 or Infinity waits for ever. Default 5000. */
  timeoutMs?: number;
}

/** Whether the page runs inside the host (window.chrome.webview exists). */
export declare function isHostAvailable(): boolean;

/** Sends "wrapper-init"; resolves with the component ids the extension library registered. */
export declare function init(options?: InitOptions): Promise<string[]>;

/** Enters or leaves full screen. */
export declare function setFullscreen(fullscreen: boolean): void;

/** Sets the client area's size in logical pixels (at least 1 each); ignored in full screen. */
export declare function setWindowSize(width: number, height: number): void;

/** Moves the window's top-left corner to logical screen coordinates; ignored in full screen. */
export declare function setWindowPosition(x: number, y: number): void;

/** A plain object for the extension library; "type": "extension-message" is added. */
export interface ExtensionMessage {
  type?: 'extension-message';
  [member: string]: unknown;
}

/** Sends a message to the native extension library. */
export declare function sendExtensionMessage(message: ExtensionMessage): void;

/** Subscribes to the messages the extension library sends; returns the unsubscribe function. */
export declare function onExtensionMessage<T = unknown>(callback: (message: T) => void): () => void;
