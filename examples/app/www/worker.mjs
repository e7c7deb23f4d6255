// A module worker: answers with twice what it is sent.
self.onmessage = (event) => self.postMessage(`module and worker running (${event.data * 2})`);
