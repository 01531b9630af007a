// The view toolkit: nodes, layout, painting, symbols, animation.
