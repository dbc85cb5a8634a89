#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page in headless Chromium against the real server on a pseudo-terminal: login,
a live call, editing a contact seen through the client protocol, a hostile name.

usage: browser_test.py SERVER_BINARY CLIENT_BINARY    (exit 77: Chromium is not installed)
"""

import json
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # nothing written into the source folder
from web_server import PASSWORD, WebServer, chromium

SKIP = 77
HOSTILE = '<script>alert(1)</script>'


def main(server_binary, client_binary):
    driver = chromium(800, 900)
    if driver is None:
        print('chromium or chromedriver is not installed: skipped')
        return SKIP
    from selenium.common.exceptions import NoAlertPresentException, StaleElementReferenceException
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions as seen
    from selenium.webdriver.support.ui import WebDriverWait

    server = WebServer(server_binary, {'ServerPassword': PASSWORD})
    # A list may be drawn again between finding a row and using it.
    wait = WebDriverWait(driver, 10, ignored_exceptions=[StaleElementReferenceException])
    find = driver.find_element

    def names(selector):
        return [row.text for row in driver.find_elements(By.CSS_SELECTOR, selector)]

    def click(locator):
        wait.until(lambda _: find(*locator).click() or True)

    def favicon():
        return find(By.ID, 'favicon').get_attribute('href')

    def text_of(selector, text):
        return wait.until(seen.text_to_be_present_in_element((By.CSS_SELECTOR, selector), text))

    def client(*arguments):
        return subprocess.run(
            [client_binary, '--port', str(server.client_port), *arguments],
            env=dict(os.environ, RINGWISE_PASSWORD=PASSWORD), capture_output=True, text=True,
            timeout=10, check=True).stdout

    def client_record(name):
        return json.loads(client('--json', 'search', 'NAME', name))['record']

    def log_in(password):
        field = wait.until(seen.element_to_be_clickable((By.ID, 'password')))
        field.send_keys(password)
        field.submit()

    def save_contact(values):
        for name, value in values.items():
            field = find(By.CSS_SELECTOR, f'#editor [name={name}]')
            field.clear()
            field.send_keys(value)
        find(By.ID, 'save').click()

    try:
        driver.get(server.url + '/')
        wait.until(seen.url_contains('/login'))
        log_in('wrong-horse')
        wait.until(seen.url_contains('failed=1'))
        assert find(By.ID, 'failed').is_displayed()
        assert driver.get_cookie('rw_session') is None

        log_in(PASSWORD)
        # The calls are loaded once the live socket is open.
        text_of('#live', 'Live')
        wait.until(seen.visibility_of_element_located((By.ID, 'no-calls')))
        assert not find(By.ID, 'open-notice').is_displayed()
        driver.execute_script('window.notReloaded = true')

        server.device('A22334455#RR')
        text_of('#call-list li:first-child .name', '22334455')
        text_of('#call-list li:first-child .rings', '2 rings')
        assert driver.execute_script('return window.notReloaded') is True

        # An unrecognised number becomes a named contact in one step, keeping its number.
        find(By.CSS_SELECTOR, '#call-list li:first-child a.who').click()
        name = (By.CSS_SELECTOR, '#editor [name=name]')
        wait.until(seen.visibility_of_element_located(name)).send_keys('Karen Holm')
        find(By.ID, 'save').click()
        text_of('#card-name', 'Karen Holm')
        assert client_record('karen')['home'] == '22334455'

        # A hostile name is text.
        find(By.ID, 'new-contact').click()
        wait.until(seen.visibility_of_element_located((By.ID, 'editor')))
        save_contact({'name': HOSTILE, 'home': '11112222'})
        text_of('#card-name', HOSTILE)

        # Search and edit.
        driver.get(server.url + '/#contacts')
        find(By.ID, 'q').send_keys('holm')
        wait.until(lambda _: names('#contact-list .name') == ['Karen Holm'])
        click((By.CSS_SELECTOR, '#contact-list a'))
        wait.until(seen.element_to_be_clickable((By.ID, 'edit'))).click()
        save_contact({'mobile': '40506070'})
        text_of('#card-fields', '40506070')
        record = client_record('karen')
        assert (record['name'], record['mobile']) == ('Karen Holm', '40506070'), record

        # Blocking from the calls list and from the form; the client protocol sees both.
        driver.get(server.url + '/#calls')
        click((By.CSS_SELECTOR, '#call-list li:first-child .block'))
        text_of('#call-list li:first-child .block', 'Blocked')
        driver.get(server.url + '/#contacts')
        find(By.CSS_SELECTOR, '#block-form [name=number]').send_keys('7070*')
        note = find(By.CSS_SELECTOR, '#block-form [name=note]')
        note.send_keys(HOSTILE + '; x')
        find(By.CSS_SELECTOR, '#block-form button').click()
        text_of('#block-error', 'A note cannot hold a comma')
        note.clear()
        note.send_keys(HOSTILE)
        find(By.CSS_SELECTOR, '#block-form button').click()
        wait.until(lambda _: names('#blocked-list .name') == ['22334455', '7070*'])
        text_of('#blocked-list li:last-child .number', HOSTILE)
        listed = client('block', 'list')
        assert '22334455' in listed and '7070*' in listed, listed

        # A vCard file: checked first, then imported.
        card = os.path.join(server.root.name, 'book.vcf')
        with open(card, 'w', encoding='utf-8') as file:
            file.write('BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Eva Berg\r\nTEL:30303030\r\n'
                       'END:VCARD\r\n')
        find(By.ID, 'import-file').send_keys(card)
        find(By.ID, 'import-check').click()
        text_of('#import-summary', 'Dry run: nothing was changed.')
        click((By.ID, 'import-run'))
        text_of('#import-summary', 'Added 1, updated 0, unchanged 0, refused 0.')
        assert client_record('eva')['name'] == 'Eva Berg'

        # The hostile name in a live call, and in the title and icon of a tab in the background.
        driver.get(server.url + '/#calls')
        text_of('#live', 'Live')
        driver.execute_script('Object.defineProperty(document, "visibilityState",'
                              '{value: "hidden", configurable: true})')
        server.device('A11112222#R')
        text_of('#call-list li:first-child .name', HOSTILE)
        assert driver.title == f'☎ {HOSTILE} · Ringwise', driver.title
        assert favicon().startswith('data:image/svg+xml,'), favicon()
        driver.execute_script('delete document.visibilityState;'
                              'document.dispatchEvent(new Event("visibilitychange"))')
        assert (driver.title, favicon()) == ('Calls · Ringwise', server.url + '/icon.svg')
        assert driver.execute_script('return document.querySelectorAll("main script").length') == 0
        try:
            driver.switch_to.alert.accept()
            raise AssertionError('the hostile name ran as a script')
        except NoAlertPresentException:
            pass
        assert client_record('script')['name'] == HOSTILE

        find(By.ID, 'logout').click()
        wait.until(seen.url_contains('/login'))
        driver.get(server.url + '/')
        wait.until(seen.url_contains('/login'))

        # Danish in a Danish browser.
        driver.execute_cdp_cmd('Network.setUserAgentOverride', {
            'userAgent': driver.execute_script('return navigator.userAgent'),
            'acceptLanguage': 'da-DK'})
        driver.get(server.url + '/login?failed=1')
        text_of('#failed', 'Forkert adgangskode.')
        print('browser test passed')
        return 0
    except Exception:
        driver.save_screenshot(os.path.join(os.getcwd(), 'browser_test_failure.png'))
        print('Server output:\n' + server.text(), file=sys.stderr)
        raise
    finally:
        driver.quit()
        server.stop()


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:3]))
