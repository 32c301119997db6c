'''A look-alike of the XDG desktop portal's GlobalShortcuts interface for python3-dbusmock.

CreateSession and BindShortcuts answer through the Response signal of a Request object, as the
portal does; the user's dialog is replaced by the "answer" parameter: "accept" binds every
shortcut asked for (described as Ctrl+Alt+R), "refuse" answers with response 1. The mock method
Press(id) sends Activated for every session that bound the shortcut.
'''
import dbus
from gi.repository import GLib

from dbusmock import MOCK_IFACE, mockobject

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SYSTEM_BUS = False

REQUEST_IFACE = 'org.freedesktop.portal.Request'


def load(mock, parameters):
    mock.answer = parameters.get('answer', 'accept')
    mock.bound = {}
    mock.AddProperties(MAIN_IFACE, dbus.Dictionary({'version': dbus.UInt32(1)}, signature='sv'))


def respond(mock, sender, token, response, results):
    path = '%s/request/%s/%s' % (MAIN_OBJ, sender[1:].replace('.', '_'), token)

    def emit():
        if path not in mockobject.objects:
            mock.AddObject(path, REQUEST_IFACE, {}, [])
        mockobject.objects[path].EmitSignal(REQUEST_IFACE, 'Response', 'ua{sv}', [dbus.UInt32(response), results])
        return False

    # After the method's reply, as the portal's dialog would.
    GLib.timeout_add(20, emit)
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender):
    session = '%s/session/%s/%s' % (MAIN_OBJ, sender[1:].replace('.', '_'), options['session_handle_token'])
    self.bound[session] = []
    return respond(self, sender, options['handle_token'], 0,
                   dbus.Dictionary({'session_handle': dbus.String(session)}, signature='sv'))


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, parent_window, options, sender):
    if self.answer != 'accept':
        return respond(self, sender, options['handle_token'], 1, dbus.Dictionary({}, signature='sv'))
    described = []
    for (name, properties) in shortcuts:
        self.bound.setdefault(str(session), []).append(str(name))
        described.append(dbus.Struct((name, dbus.Dictionary({
            'description': properties.get('description', ''),
            'trigger_description': dbus.String('Ctrl+Alt+R')}, signature='sv')), signature='sa{sv}'))
    return respond(self, sender, options['handle_token'], 0, dbus.Dictionary({
        'shortcuts': dbus.Array(described, signature='(sa{sv})')}, signature='sv'))


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='u')
def Press(self, name):
    pressed = 0
    for session, names in self.bound.items():
        if name in names:
            self.EmitSignal(MAIN_IFACE, 'Activated', 'osta{sv}',
                            [dbus.ObjectPath(session), name, dbus.UInt64(0), dbus.Dictionary({}, signature='sv')])
            pressed += 1
    return dbus.UInt32(pressed)
