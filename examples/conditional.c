/* An if-condition restricts the iterations of a statement. */
int N = 10;
double a[10][10];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < N; i++)
    for (j = 0; j < N; j++)
      if (j >= i) {
#pragma latency [3][1]
        a[i][j] = a[i][j] + 1;
      }
  return 0;
}
