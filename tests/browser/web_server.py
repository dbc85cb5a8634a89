"""The real ringwise-server for the browser tests and the screenshots: temporary settings
and data folders, a pseudo-terminal as the caller-ID device, free loopback ports, and
headless Chromium pointed at its web port."""

import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time

PASSWORD = 'correct-horse'


def free_port():
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def wait_until(predicate, timeout=10.0, what='the condition'):
    """Polls predicate until it holds; the deadline is an upper bound, never a delay."""
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise TimeoutError(f'gave up waiting for {what}')
        time.sleep(0.02)


class WebServer:
    def __init__(self, binary, settings):
        self.root = tempfile.TemporaryDirectory(prefix='ringwise-web-')
        self.master, self.slave = os.openpty()
        self.web_port = free_port()
        self.output = ''
        self.lock = threading.Lock()
        config = os.path.join(self.root.name, 'config', 'Ringwise')
        os.makedirs(config)
        settings = {
            'ServerCOM': os.ttyname(self.slave),
            'ServerCheckDGS': 'False',
            'ServerListen': '127.0.0.1',
            'ServerWebPort': str(self.web_port),
            **settings,
        }
        with open(os.path.join(config, 'Ringwise.conf'), 'w', encoding='utf-8') as conf:
            conf.write('[Settings]\n')
            conf.writelines(f'{key}={value}\n' for key, value in settings.items())
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.root.name, 'config'),
                   XDG_DATA_HOME=os.path.join(self.root.name, 'data'),
                   RINGWISE_LISTEN='127.0.0.1:0')
        for name in ('DISPLAY', 'WAYLAND_DISPLAY'):
            env.pop(name, None)
        self.process = subprocess.Popen([os.path.abspath(binary), '--headless'], env=env,
                                        cwd=self.root.name, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        threading.Thread(target=self._read, daemon=True).start()
        hosting = re.compile(r'Is hosting\? Yes .* Local port: (\d+)\n')
        wait_until(lambda: hosting.search(self.text()) or self.process.poll() is not None,
                   what='the server to listen')
        match = hosting.search(self.text())
        if not match:
            raise RuntimeError('the server did not start:\n' + self.text())
        self.client_port = int(match.group(1))
        wait_until(self._web_port_open, what=f'the web port {self.web_port}')
        self.url = f'http://127.0.0.1:{self.web_port}'

    def _read(self):
        for line in self.process.stdout:
            with self.lock:
                self.output += line

    def text(self):
        with self.lock:
            return self.output

    def _web_port_open(self):
        try:
            socket.create_connection(('127.0.0.1', self.web_port), timeout=1).close()
            return True
        except OSError:
            return False

    def device(self, characters):
        """What the caller-ID box sends: "A22334455#RR" is a call from 22334455 and two rings."""
        os.write(self.master, characters.encode())

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        os.close(self.master)
        os.close(self.slave)
        self.root.cleanup()


def chromium(width, height, language='en-US'):
    """Headless Chromium at the given window size, or None when it is not installed."""
    if not (shutil.which('chromium') and shutil.which('chromedriver')):
        return None
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu',
                     '--disable-dev-shm-usage', f'--window-size={width},{height}',
                     f'--lang={language}', '--hide-scrollbars'):
        options.add_argument(argument)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    return webdriver.Chrome(service=Service(shutil.which('chromedriver')), options=options)
