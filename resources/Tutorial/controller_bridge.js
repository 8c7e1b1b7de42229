// Puts the application's controller on the window object as "controller". Calls made before the
// channel is connected are kept and sent, in order, once it is.
(function () {
    'use strict';
    var operations = ['selectPage_', 'email_', 'launch', 'launchAfterSkip'];
    var pending = [];
    var target = null;
    var controller = {};
    operations.forEach(function (name) {
        controller[name] = function () {
            var args = Array.prototype.slice.call(arguments);
            if (target) {
                target[name].apply(target, args);
            } else {
                pending.push([name, args]);
            }
        };
    });
    Object.defineProperty(window, 'controller', { value: Object.freeze(controller), writable: false });

    function connect() {
        if (typeof QWebChannel === 'undefined' || typeof qt === 'undefined' || !qt.webChannelTransport) {
            return;
        }
        new QWebChannel(qt.webChannelTransport, function (channel) {
            target = channel.objects.controller;
            pending.splice(0).forEach(function (call) {
                target[call[0]].apply(target, call[1]);
            });
            document.documentElement.setAttribute('data-controller', 'ready');
        });
    }
    if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', connect);
    } else {
        connect();
    }
})();
