// The toolbar badge: whether the reader is listened to for the pages that want it.
import { api } from './browserApi.js';

/** @param {number} pages pages wanting cards @param {boolean} listening */
export function showBadge(pages, listening) {
  if (pages === 0) {
    api.action.setBadgeText({ text: '' });
    api.action.setTitle({ title: 'IC-card reader: no page uses it' });
    return;
  }
  api.action.setBadgeText({ text: listening ? 'on' : 'off' });
  api.action.setBadgeBackgroundColor({ color: listening ? '#00a050' : '#c02020' });
  api.action.setTitle({ title: listening ? 'IC-card reader: listening' : 'IC-card reader: not listening' });
}
