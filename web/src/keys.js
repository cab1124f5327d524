// The page's keys are lumhost play's: each key is looked up in the player's
// key table in the module and its action done by the page where it has a
// meaning here. Where it has none, the table's note for the page says so.
//
// `actions`: {ACTION(binding)} for the table's actions (see lumrules::KeyAction);
// one that returns false, or is missing, did nothing here, and `note(binding)`
// is told instead.
export function keyListener(plugin, actions, note) {
  return (event) => {
    const target = event.target;
    if (target instanceof HTMLInputElement || target instanceof HTMLSelectElement || target instanceof HTMLTextAreaElement) return;
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const binding = plugin.findKey(event.key);
    if (!binding) return;
    event.preventDefault();
    const act = actions[binding.action];
    if (!act || act(binding) === false) note(binding);
  };
}
