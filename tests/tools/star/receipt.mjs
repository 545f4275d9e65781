// SPDX-License-Identifier: MIT
// Writes a shop's receipt as the POS library's encoder for LANGUAGE
// (star-line, star-prnt or esc-pos) sends it: node receipt.mjs LANGUAGE > FILE
import ReceiptPrinterEncoder from '@point-of-sale/receipt-printer-encoder';

const language = process.argv[2];
const columns = [{ width: 36 }, { width: 12, align: 'right' }];
const bytes = new ReceiptPrinterEncoder({ language, columns: 48 })
  .initialize()
  .codepage('cp437')
  .align('center').size(2, 2).line('THE CORNER SHOP').size(1, 1)
  .line('12 Market Street').rule().align('left')
  .table(columns, [['Flat white', '3.50'], ['Croissant', '2.20'], ['Orange juice', '2.90']])
  .rule().bold(true).table(columns, [['TOTAL', '8.60']]).bold(false)
  .newline().align('center').barcode('3130630574613', 'ean13', 60)
  .newline().qrcode('https://example.com/r/1234')
  .newline().underline(true).line('Thank you').underline(false)
  .cut().encode();
process.stdout.write(Buffer.from(bytes));
