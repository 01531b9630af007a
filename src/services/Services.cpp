// Services: one per folder; each posts on the event bus through its provider.
