#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Redraws the README's screenshots of the web page: the real server with a few sample
contacts and calls (one named by a fake directory), each page at phone and desktop width.

usage: tests/browser/screenshots.py SERVER_BINARY CLIENT_BINARY FOLDER
"""

import http.server
import os
import subprocess
import sys
import threading

from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions as shown
from selenium.webdriver.support.ui import WebDriverWait

sys.dont_write_bytecode = True  # nothing written into the source folder
from web_server import PASSWORD, WebServer, chromium

DIRECTORY_NAME = 'Nordvest Auto ApS'
DIRECTORY_NUMBER = '71727374'
CONTACTS = [
    ('Karen Holm', '22334455', '', 'karen@example.dk'),
    ("Søren O'Hara", '', '40506070', ''),
    ('Ida Berg', '33221100', '', 'ida@example.dk'),
]
# Oldest first: the box's characters for each call.
CALLS = ['A22334455#RRR', 'A40506070#R', 'A87654321#RRRRR', 'A33221100#RR',
         f'A{DIRECTORY_NUMBER}#RR', 'A22334455#RRRR', 'A87654321#RRR', 'A22334455#RR']
SIZES = {'phone': (360, 740), 'desktop': (1100, 700)}
DARK = ('contacts', 'phone')  # the one shown in dark mode


class Directory(http.server.BaseHTTPRequestHandler):
    """A result page that names DIRECTORY_NUMBER; any other number is not found."""

    def do_GET(self):
        if DIRECTORY_NUMBER not in self.path:
            self.send_error(404)
            return
        page = ('<table class="resultat"><tr><td><img src="../img/oplysningen/ikoner/'
                'resultat-pil.gif" width="15" height="12"></td>'
                f'<td>{DIRECTORY_NAME}</td></tr></table>').encode()
        self.send_response(200)
        self.send_header('Content-Type', 'text/html; charset=utf-8')
        self.send_header('Content-Length', str(len(page)))
        self.end_headers()
        self.wfile.write(page)

    def log_message(self, *arguments):
        pass


def main(server_binary, client_binary, folder):
    directory = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Directory)
    threading.Thread(target=directory.serve_forever, daemon=True).start()
    server = WebServer(server_binary, {
        'ServerPassword': PASSWORD, 'ServerCheckDGS': 'True',
        'ServerDirectoryHost': f'http://127.0.0.1:{directory.server_port}'})
    driver = chromium(1200, 900)
    try:
        client = [os.path.abspath(client_binary), '--port', str(server.client_port)]
        env = dict(os.environ, RINGWISE_PASSWORD=PASSWORD)
        for name, home, mobile, email in CONTACTS:
            subprocess.run(client + ['save', 'new', name, home, mobile, email, '', ''],
                           env=env, check=True, capture_output=True, timeout=10)

        wait = WebDriverWait(driver, 10)
        driver.get(server.url + '/login')
        driver.find_element(By.ID, 'password').send_keys(PASSWORD + '\n')
        wait.until(shown.text_to_be_present_in_element((By.ID, 'live'), 'Live'))
        for count, characters in enumerate(CALLS, 1):
            server.device(characters)
            wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#call-list li')) == count)
        wait.until(shown.text_to_be_present_in_element((By.ID, 'call-list'), DIRECTORY_NAME))
        pages = [('calls', '#calls', 'call-list'), ('contacts', '#contacts/1', 'card-calls'),
                 ('stats', '#stats', 'top')]
        for size, (width, height) in SIZES.items():
            driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                'width': width, 'height': height, 'deviceScaleFactor': 1,
                'mobile': size == 'phone'})
            for page, hash, filled in pages:
                scheme = 'dark' if (page, size) == DARK else 'light'
                driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {
                    'features': [{'name': 'prefers-color-scheme', 'value': scheme}]})
                driver.get(server.url + '/' + hash)
                wait.until(shown.text_to_be_present_in_element((By.ID, 'live'), 'Live'))
                wait.until(lambda d: d.find_element(By.ID, filled).text)
                driver.save_screenshot(os.path.join(folder, f'web-{page}-{size}.png'))
    finally:
        driver.quit()
        server.stop()
        directory.shutdown()


if __name__ == '__main__':
    main(*sys.argv[1:4])
